#include "Services/Deadline.h"

#include "Services/TransportError.h"
#include "Util/Log.h"

#include <algorithm>
#include <string>

namespace ostrel {

Deadline::Deadline(std::chrono::milliseconds budget, Now now) : now_(std::move(now)), end_(now_() + budget) {}

std::chrono::milliseconds Deadline::remaining() const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - now_());
    return std::max(left, std::chrono::milliseconds::zero());
}

std::chrono::milliseconds Deadline::nextRequest(std::chrono::milliseconds longest, std::string_view host) const {
    // Less than a millisecond counts as nothing: the transport reads a zero limit as none.
    const auto left = remaining();
    if (left <= std::chrono::milliseconds::zero()) {
        const std::string detail = "the operation's deadline passed before its next request";
        Log::error(Log::Category::network, std::string(host) + ": " + detail);
        throw TransportError(TransportError::Kind::timedOut, std::string(host), detail);
    }
    return std::min(longest, left);
}

} // namespace ostrel
