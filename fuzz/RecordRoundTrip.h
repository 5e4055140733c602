#pragma once

#include "Services/JsonReader.h"

namespace ostrel::fuzz {

// Decodes a record, and when that works checks that encoding and decoding again gives the
// same record. A DecodingError is the expected answer to bad input.
template <class T>
void roundTrip(const JsonTree& document) {
    try {
        const T record = decodeJson<T>(document);
        const nlohmann::json encoded = record;
        if (!(decodeJson<T>(encoded) == record))
            __builtin_trap();
    } catch (const DecodingError&) {
    }
}

} // namespace ostrel::fuzz
