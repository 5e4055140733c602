#pragma once

#include "Services/JsonReader.h"

#include <optional>

namespace ostrel {

// One member decoded leniently: whatever is wrong with it leaves `value`
// empty instead of failing the record around it, so one malformed entry does
// not cost a whole list.
template <class T>
struct Lenient {
    std::optional<T> value{};

    bool operator==(const Lenient&) const = default;
};

template <class T>
void readJson(const JsonReader& in, Lenient<T>& out) {
    try {
        out.value = in.as<T>();
    } catch (const DecodingError&) {
        out.value.reset();
    }
}

// An empty value is written as null, so a list keeps its positions.
template <class T>
void to_json(nlohmann::json& json, const Lenient<T>& lenient) {
    if (lenient.value)
        json = *lenient.value;
    else
        json = nullptr;
}

} // namespace ostrel
