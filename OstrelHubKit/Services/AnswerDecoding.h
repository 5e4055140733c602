#pragma once

#include "Services/JsonReader.h"
#include "Services/MoonbaseError.h"

#include <string_view>

namespace ostrel {

// Decodes the body of a successful service answer. A body that is not JSON or
// lacks the record's shape becomes MoonbaseError::decoding, whose sentence
// names the place that broke, the way both service clients report it.
template <class T>
T decodeAnswer(std::string_view body) {
    try {
        return decodeJsonText<T>(body);
    } catch (const DecodingError& failure) {
        throw MoonbaseError::decoding(failure);
    }
}

} // namespace ostrel
