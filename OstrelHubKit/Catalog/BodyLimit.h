#pragma once

#include <cstddef>

namespace ostrel {

// Asks the transport to refuse an answer body larger than `limit` while it arrives, for
// transports whose requests carry such a cap, so an oversized answer is never held whole.
// Callers still check the size of what they receive: the cap is theirs to keep either way.
template <class Request>
void limitBody(Request& request, std::size_t limit) {
    if constexpr (requires { request.maxBodyBytes = limit; })
        request.maxBodyBytes = limit;
}

} // namespace ostrel
