#pragma once

#include "Services/DecodingError.h"
#include "Services/JsonTree.h"

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
// unknown members are never looked at. A reader is a position in a tree, which
// must outlive it; the place is worked out only when something fails.
class JsonReader {
public:
    // The top level of `tree`.
    explicit JsonReader(const JsonTree& tree) : tree_(&tree), node_(JsonTree::root) {}

    // Where this value sits, as "products[2].name"; empty for the top level.
    std::string path() const { return tree_->pathOf(node_); }
    JsonTree::Kind kind() const { return tree_->kind(node_); }

    // A member that must be there and must not be null.
    template <class T>
    T required(std::string_view key) const {
        return member(key).as<T>();
    }

    // A member that may be absent or null; anything else must decode.
    template <class T>
    std::optional<T> optional(std::string_view key) const {
        const auto found = find(key);
        if (!found || found->kind() == JsonTree::Kind::null)
            return std::nullopt;
        return found->as<T>();
    }

    // This value as T.
    template <class T>
    T as() const;

    // The member `key` of this object, null included, or none when it is absent.
    std::optional<JsonReader> find(std::string_view key) const;
    JsonReader member(std::string_view key) const;

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
    JsonReader(const JsonTree& tree, JsonTree::Index node) : tree_(&tree), node_(node) {}

    template <class List>
    List asList() const;
    template <class Map>
    Map asMap() const;

    const JsonTree* tree_;
    JsonTree::Index node_;
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
        return asList<T>();
    } else if constexpr (detail::IsStringMap<T>::value) {
        return asMap<T>();
    } else {
        T value{};
        readJson(*this, value);
        return value;
    }
}

template <class List>
List JsonReader::asList() const {
    expectArray();
    List list;
    list.reserve(tree_->size(node_));
    const auto end = tree_->next(node_);
    for (auto element = node_ + 1; element < end; element = tree_->next(element))
        list.push_back(JsonReader(*tree_, element).as<typename List::value_type>());
    return list;
}

// Members are read in key order, as a map holds them, so the first bad one is the same
// whatever order the document lists them in.
template <class Map>
Map JsonReader::asMap() const {
    expectObject();
    Map map;
    for (const auto& [key, value] : tree_->members(node_))
        map.emplace_hint(map.end(), key, JsonReader(*tree_, value).as<typename Map::mapped_type>());
    return map;
}

// Decodes a whole document as T.
template <class T>
T decodeJson(const JsonTree& tree) {
    return JsonReader(tree).as<T>();
}

template <class T>
T decodeJson(const nlohmann::json& json) {
    return decodeJson<T>(JsonTree(json));
}

// Parses text and decodes it as T; text that is not JSON throws DecodingError too.
template <class T>
T decodeJsonText(std::string_view text) {
    return decodeJson<T>(JsonTree::parse(text));
}

// Encoding counterpart of JsonReader::optional: an empty optional writes nothing.
template <class T>
void writeOptional(nlohmann::json& json, const char* key, const std::optional<T>& value) {
    if (value)
        json[key] = *value;
}

} // namespace ostrel
