#pragma once

#include "Services/JsonReader.h"
#include "Services/MoonbaseError.h"

#include <string_view>

namespace ostrel {

// Decodes the body of a successful answer of `service`. A body that is not JSON or lacks the
// record's shape becomes MoonbaseError::decoding, whose sentence names the place that broke;
// the failure is logged under the service's category.
template <class T>
T decodeAnswer(std::string_view body, MoonbaseError::Service service = MoonbaseError::Service::store) {
    try {
        return decodeJsonText<T>(body);
    } catch (const DecodingError& failure) {
        throwLogged(MoonbaseError::decoding(failure, service),
                    "an answer of " + std::to_string(body.size()) + " bytes did not decode: " + failure.what());
    }
}

} // namespace ostrel
