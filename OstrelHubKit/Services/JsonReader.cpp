#include "Services/JsonReader.h"

#include "Services/MoonbaseDate.h"

#include <cmath>
#include <limits>
#include <utility>

namespace ostrel {

void JsonReader::fail(std::string reason) const {
    throw DecodingError(path(), std::move(reason));
}

void JsonReader::expectObject() const {
    if (kind() != JsonTree::Kind::object)
        fail("Expected an object");
}

void JsonReader::expectArray() const {
    if (kind() != JsonTree::Kind::array)
        fail("Expected a list");
}

std::optional<JsonReader> JsonReader::find(std::string_view key) const {
    expectObject();
    const auto found = tree_->find(node_, key);
    if (!found)
        return std::nullopt;
    return JsonReader(*tree_, *found);
}

JsonReader JsonReader::member(std::string_view key) const {
    const auto found = find(key);
    if (!found || found->kind() == JsonTree::Kind::null) {
        const auto here = path();
        throw DecodingError(here.empty() ? std::string(key) : here + "." + std::string(key), "Missing value");
    }
    return *found;
}

std::string JsonReader::asString() const {
    if (kind() != JsonTree::Kind::string)
        fail("Expected a string");
    return std::string(tree_->string(node_));
}

int64_t JsonReader::asInt() const {
    const auto& value = tree_->node(node_).value;
    if (kind() == JsonTree::Kind::integer)
        return value.integer;
    if (kind() == JsonTree::Kind::whole && value.whole <= uint64_t(std::numeric_limits<int64_t>::max()))
        return int64_t(value.whole);
    // 3.0 is a whole number written with a fraction; 2^63 and beyond do not fit.
    if (kind() == JsonTree::Kind::real && std::trunc(value.real) == value.real && value.real >= -0x1p63 &&
        value.real < 0x1p63)
        return int64_t(value.real);
    fail("Expected a whole number");
}

double JsonReader::asDouble() const {
    const auto& value = tree_->node(node_).value;
    switch (kind()) {
    case JsonTree::Kind::integer:
        return double(value.integer);
    case JsonTree::Kind::whole:
        return double(value.whole);
    case JsonTree::Kind::real:
        return value.real;
    default:
        fail("Expected a number");
    }
}

bool JsonReader::asBool() const {
    if (kind() != JsonTree::Kind::boolean)
        fail("Expected true or false");
    return tree_->node(node_).value.boolean;
}

std::chrono::system_clock::time_point JsonReader::asDate() const {
    const auto date = MoonbaseDate::parse(asString());
    if (!date)
        fail("Unrecognised date");
    return *date;
}

} // namespace ostrel
