#pragma once

#include "Services/DecodingError.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace ostrel {

class JsonReader;

namespace detail {
template <class T>
struct IsList : std::false_type {};
template <class T>
struct IsList<std::vector<T>> : std::true_type {};
template <class T>
struct IsStringMap : std::false_type {};
template <class T>
struct IsStringMap<std::map<std::string, T>> : std::true_type {};
} // namespace detail

// Reads one value of a JSON document together with where it sits in it, so
// every failure names its place ("products[2].name"). Records teach it their
// shape by declaring `void readJson(const JsonReader&, Record&)` next to the
// record; strings, numbers, booleans, dates, lists and maps keyed by string are
// built in. A wrong type or a missing required member throws DecodingError;
// unknown members are never looked at.
class JsonReader {
public:
    // The reader keeps a reference: `json` must outlive it.
    explicit JsonReader(const nlohmann::json& json, std::string path = {});

    const nlohmann::json& json() const { return json_; }
    const std::string& path() const { return path_; }

    // A member that must be there and must not be null.
    template <class T>
    T required(std::string_view key) const {
        return member(key).as<T>();
    }

    // A member that may be absent or null; anything else must decode.
    template <class T>
    std::optional<T> optional(std::string_view key) const {
        const auto* found = find(key);
        if (found == nullptr || found->is_null())
            return std::nullopt;
        return JsonReader(*found, childPath(key)).as<T>();
    }

    // This value as T.
    template <class T>
    T as() const;

    JsonReader member(std::string_view key) const;
    JsonReader element(std::size_t index) const;

    std::string asString() const;
    int64_t asInt() const;
    double asDouble() const;
    bool asBool() const;
    // A timestamp in one of the store's forms (see MoonbaseDate).
    std::chrono::system_clock::time_point asDate() const;

    // Throws a DecodingError at this reader's place.
    [[noreturn]] void fail(std::string reason) const;
    // Fails unless this value is a JSON object; records call it first.
    void expectObject() const;
    void expectArray() const;

private:
    const nlohmann::json* find(std::string_view key) const;
    std::string childPath(std::string_view key) const;

    const nlohmann::json& json_;
    std::string path_;
};

template <class T>
T JsonReader::as() const {
    if constexpr (std::is_same_v<T, std::string>) {
        return asString();
    } else if constexpr (std::is_same_v<T, bool>) {
        return asBool();
    } else if constexpr (std::is_same_v<T, int64_t>) {
        return asInt();
    } else if constexpr (std::is_same_v<T, double>) {
        return asDouble();
    } else if constexpr (std::is_same_v<T, std::chrono::system_clock::time_point>) {
        return asDate();
    } else if constexpr (detail::IsList<T>::value) {
        expectArray();
        T list;
        list.reserve(json_.size());
        for (std::size_t i = 0; i < json_.size(); ++i)
            list.push_back(element(i).as<typename T::value_type>());
        return list;
    } else if constexpr (detail::IsStringMap<T>::value) {
        expectObject();
        T map;
        for (const auto& [key, value] : json_.items())
            map.emplace(key, JsonReader(value, childPath(key)).as<typename T::mapped_type>());
        return map;
    } else {
        T value{};
        readJson(*this, value);
        return value;
    }
}

// Decodes a whole document as T.
template <class T>
T decodeJson(const nlohmann::json& json) {
    return JsonReader(json).as<T>();
}

// Parses text and decodes it as T; text that is not JSON throws DecodingError too.
nlohmann::json parseJson(std::string_view text);

template <class T>
T decodeJsonText(std::string_view text) {
    return decodeJson<T>(parseJson(text));
}

// Encoding counterpart of JsonReader::optional: an empty optional writes nothing.
template <class T>
void writeOptional(nlohmann::json& json, const char* key, const std::optional<T>& value) {
    if (value)
        json[key] = *value;
}

} // namespace ostrel
