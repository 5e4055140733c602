#pragma once

#include "Services/CurlTransport.h"

namespace ostrel {

// The transport for image hosts that have no pins: the same hardening as the pinned transport
// (HTTPS only, TLS 1.2 or later, no cookies, no cache, redirects returned and never followed,
// a time limit) with the authorities' ordinary certificate checks alone: the system's, or the
// configuration's CA bundle when it names one.
class PlainImageTransport final : public CurlTransport {
public:
    explicit PlainImageTransport(Options options = {});
};

} // namespace ostrel
