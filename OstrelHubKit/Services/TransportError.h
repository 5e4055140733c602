#pragma once

#include "Util/Error.h"

#include <string>

namespace ostrel {

// A request that got no usable HTTP answer: the network, the time limit or the secure
// connection failed, or the answer was refused while it arrived. what() names the host;
// detail() carries the technical words for the log.
class TransportError : public Error {
public:
    enum class Kind {
        cannotConnect, // refused, unreachable, name not found
        timedOut,
        notTrusted,       // the certificate chain failed verification or holds no pinned key
        secureConnection, // any other TLS failure
        tooLarge,         // the answer's body was announced or grew beyond the request's limit
        unacceptable,     // the answer came in a form never asked for (a compressed transfer coding)
        failed,           // everything else
    };

    TransportError(Kind kind, std::string host, std::string detail);

    Kind kind() const { return kind_; }
    const std::string& host() const { return host_; }
    const std::string& detail() const { return detail_; }

    bool operator==(const TransportError& other) const { return kind_ == other.kind_ && host_ == other.host_; }

private:
    Kind kind_;
    std::string host_;
    std::string detail_;
};

} // namespace ostrel
