#include "Services/JsonReader.h"

#include "Services/MoonbaseDate.h"

#include <cmath>
#include <limits>
#include <utility>

namespace ostrel {

JsonReader::JsonReader(const nlohmann::json& json, std::string path) : json_(json), path_(std::move(path)) {}

void JsonReader::fail(std::string reason) const {
    throw DecodingError(path_, std::move(reason));
}

void JsonReader::expectObject() const {
    if (!json_.is_object())
        fail("Expected an object");
}

void JsonReader::expectArray() const {
    if (!json_.is_array())
        fail("Expected a list");
}

const nlohmann::json* JsonReader::find(std::string_view key) const {
    expectObject();
    const auto found = json_.find(key);
    return found == json_.end() ? nullptr : &*found;
}

std::string JsonReader::childPath(std::string_view key) const {
    return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

JsonReader JsonReader::member(std::string_view key) const {
    const auto* found = find(key);
    if (found == nullptr || found->is_null())
        throw DecodingError(childPath(key), "Missing value");
    return JsonReader(*found, childPath(key));
}

JsonReader JsonReader::element(std::size_t index) const {
    expectArray();
    return JsonReader(json_.at(index), path_ + "[" + std::to_string(index) + "]");
}

std::string JsonReader::asString() const {
    if (!json_.is_string())
        fail("Expected a string");
    return json_.get_ref<const std::string&>();
}

int64_t JsonReader::asInt() const {
    if (json_.is_number_integer() && !json_.is_number_unsigned())
        return json_.get<int64_t>();
    if (json_.is_number_unsigned() && json_.get<uint64_t>() <= uint64_t(std::numeric_limits<int64_t>::max()))
        return int64_t(json_.get<uint64_t>());
    // 3.0 is a whole number written with a fraction; 2^63 and beyond do not fit.
    if (json_.is_number_float()) {
        const double value = json_.get<double>();
        if (std::trunc(value) == value && value >= -0x1p63 && value < 0x1p63)
            return int64_t(value);
    }
    fail("Expected a whole number");
}

double JsonReader::asDouble() const {
    if (!json_.is_number())
        fail("Expected a number");
    return json_.get<double>();
}

bool JsonReader::asBool() const {
    if (!json_.is_boolean())
        fail("Expected true or false");
    return json_.get<bool>();
}

std::chrono::system_clock::time_point JsonReader::asDate() const {
    const auto date = MoonbaseDate::parse(asString());
    if (!date)
        fail("Unrecognised date");
    return *date;
}

nlohmann::json parseJson(std::string_view text) {
    try {
        return nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        throw DecodingError::notJson(error.byte);
    } catch (const nlohmann::json::exception&) {
        // a number too large for a double ("1e999") is the only other way parsing fails
        throw DecodingError({}, "Not valid JSON");
    }
}

} // namespace ostrel
