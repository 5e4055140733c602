#include "Services/LoopbackReceiver.h"

#include "Util/Base64.h"
#include "Util/Hex.h"
#include "Util/Log.h"
#include "Util/Unicode.h"
#include "Util/Url.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

namespace ostrel {

namespace {

using Failure = LoopbackReceiver::Failure;

std::string failureMessage(Failure::Kind kind, const std::string& reason) {
    switch (kind) {
    case Failure::Kind::listenerFailed:
        return "Could not wait for the browser: " + reason;
    case Failure::Kind::timedOut:
        return "Sign-in timed out. Try again.";
    case Failure::Kind::stateMismatch:
        return "The sign-in response did not match this request and was ignored.";
    case Failure::Kind::serverTooOld:
        return "The Ostrel ID server has not been updated for Ostrel Hub yet. Use an email code for now.";
    }
    return {};
}

Failure systemFailure(int error) {
    return Failure::listenerFailed(std::generic_category().message(error));
}

// The listener could not be made or started: said in the log, then thrown.
[[noreturn]] void listenerFailed(int error, std::string_view doing) {
    const auto failure = systemFailure(error);
    Log::error(Log::Category::receiver, std::string(doing) + ": " + failure.reason());
    throw failure;
}

// `count` bytes from the system's cryptographic random generator, in base64url.
std::string randomBase64Url(int count) {
    std::string bytes(static_cast<std::size_t>(count), '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), count) != 1)
        throw Failure::listenerFailed("the system's random generator failed");
    return base64UrlEncode(bytes);
}

// ---- Reading a request target -------------------------------------------------------------

bool isUnreserved(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

bool isSubDelim(char c) {
    return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos;
}

// True when every character of `text` is unreserved, a sub-delimiter, one of `extra`, or part
// of a well-formed percent escape.
bool isWellFormed(std::string_view text, std::string_view extra) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size() || hexDigitValue(text[i + 1]) < 0 || hexDigitValue(text[i + 2]) < 0)
                return false;
            i += 2;
        } else if (!isUnreserved(c) && !isSubDelim(c) && extra.find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// The text behind the percent escapes of a well-formed component; none unless it is UTF-8.
std::optional<std::string> percentDecoded(std::string_view text) {
    auto decoded = percentDecode(text);
    if (!Unicode::isValidUtf8(decoded))
        return std::nullopt;
    return decoded;
}

// The authority of "http://127.0.0.1" followed by a request target: [userinfo "@"] host [":" port].
bool isValidAuthority(std::string_view authority) {
    auto at = authority.find('@');
    if (at != std::string_view::npos) {
        if (!isWellFormed(authority.substr(0, at), ":"))
            return false;
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    std::string_view port;
    if (authority.starts_with('[')) {
        auto close = authority.find(']');
        if (close == std::string_view::npos)
            return false;
        host = authority.substr(1, close - 1);
        if (!std::all_of(host.begin(), host.end(),
                         [](char c) { return hexDigitValue(c) >= 0 || c == ':' || c == '.'; }))
            return false;
        authority.remove_prefix(close + 1);
        if (!authority.empty() && !authority.starts_with(':'))
            return false;
        port = authority.empty() ? authority : authority.substr(1);
    } else {
        auto colon = authority.find(':');
        if (colon != std::string_view::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
        }
        if (!isWellFormed(host, ""))
            return false;
    }
    return std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct RequestTarget {
    std::string path;
    std::map<std::string, std::string> query; // a name given twice keeps its last value
};

bool addQueryItem(std::string_view item, std::map<std::string, std::string>& query) {
    auto equals = item.find('=');
    auto name = percentDecoded(item.substr(0, equals));
    auto value = percentDecoded(equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1));
    if (!name || !value)
        return false;
    query[*name] = *value;
    return true;
}

// The path and query items of "http://127.0.0.1" followed by `target`, as a URL parser sees
// them; none when that is not a well-formed URL.
std::optional<RequestTarget> parseTarget(std::string_view target) {
    const std::string url = "127.0.0.1" + std::string(target);
    std::string_view rest = url;
    auto authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    if (!isValidAuthority(rest.substr(0, authorityEnd)))
        return std::nullopt;
    rest.remove_prefix(authorityEnd);
    auto hash = std::min(rest.find('#'), rest.size());
    if (!isWellFormed(rest.substr(std::min(hash + 1, rest.size())), ":@/?"))
        return std::nullopt;
    rest = rest.substr(0, hash);
    auto question = std::min(rest.find('?'), rest.size());
    std::string_view rawPath = rest.substr(0, question);
    std::string_view rawQuery = rest.substr(std::min(question + 1, rest.size()));
    if (!isWellFormed(rawPath, ":@/") || !isWellFormed(rawQuery, ":@/?"))
        return std::nullopt;
    RequestTarget result;
    auto path = percentDecoded(rawPath);
    if (!path)
        return std::nullopt;
    result.path = std::move(*path);
    for (std::size_t start = 0; question < rest.size() && start <= rawQuery.size();) {
        auto end = std::min(rawQuery.find('&', start), rawQuery.size());
        if (!addQueryItem(rawQuery.substr(start, end - start), result.query))
            return std::nullopt;
        start = end + 1;
    }
    return result;
}

// The first non-empty line of a request, split at blanks into its non-empty pieces. Only ASCII
// is ever accepted from it, so the bytes need no conversion to text first.
std::vector<std::string_view> requestLine(std::string_view request) {
    auto start = std::min(request.find_first_not_of("\r\n"), request.size());
    auto end = std::min(request.find_first_of("\r\n", start), request.size());
    std::string_view line = request.substr(start, end - start);
    std::vector<std::string_view> pieces;
    for (std::size_t at = 0; at < line.size();) {
        auto pieceStart = std::min(line.find_first_not_of(" \t", at), line.size());
        auto pieceEnd = std::min(line.find_first_of(" \t", pieceStart), line.size());
        if (pieceEnd > pieceStart)
            pieces.push_back(line.substr(pieceStart, pieceEnd - pieceStart));
        at = pieceEnd;
    }
    return pieces;
}

// ---- Sockets --------------------------------------------------------------------------------

// Sends all of `bytes`, waiting at most a second for room each time the socket is full.
void sendAll(int connection, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t sent = ::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        pollfd room{connection, POLLOUT, 0};
        if (sent < 0 && (errno == EAGAIN || errno == EINTR) && ::poll(&room, 1, 1000) > 0)
            continue;
        return;
    }
}

// Ends our side and drops what the browser has already sent beyond the one read, so that
// closing does not reset the connection before the browser has read the page.
void closeGently(UniqueFd connection) {
    ::shutdown(connection.get(), SHUT_WR);
    std::string sink(LoopbackReceiver::maxRequestBytes, '\0');
    for (int round = 0; round < 4 && ::recv(connection.get(), sink.data(), sink.size(), 0) > 0; ++round) {
    }
}

std::chrono::steady_clock::time_point deadlineAfter(std::chrono::duration<double> timeout) {
    auto now = std::chrono::steady_clock::now();
    if (!(timeout.count() > 0))
        return now;
    return now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(timeout);
}

// Time-outs beyond this are treated as no time-out at all, which also keeps the deadline
// arithmetic far from overflowing.
constexpr std::chrono::duration<double> longestTimeout{1e9};

} // namespace

LoopbackReceiver::Failure::Failure(Kind kind, std::string reason)
    : Error(failureMessage(kind, reason)), kind_(kind), reason_(std::move(reason)) {}

// ---- Parsing and answering ----------------------------------------------------------------

LoopbackReceiver::Outcome LoopbackReceiver::parse(std::string_view request, std::string_view expectedState) {
    auto pieces = requestLine(request);
    if (pieces.size() < 2 || pieces[0] != "GET")
        return NotACallback{};
    auto target = parseTarget(pieces[1]);
    if (!target || target->path != "/cb")
        return NotACallback{};
    auto state = target->query.find("state");
    if (state == target->query.end())
        return NotACallback{};
    if (!constantTimeEqual(state->second, expectedState))
        return Failure::stateMismatch();
    auto code = target->query.find("hub_code");
    if (code == target->query.end() || code->second.empty())
        return Failure::serverTooOld();
    return Callback{code->second};
}

bool LoopbackReceiver::canJudge(std::string_view received) {
    if (received.size() >= maxRequestBytes)
        return true;
    const auto start = received.find_first_not_of("\r\n");
    if (start == std::string_view::npos)
        return false; // nothing but line breaks so far
    auto line = received.substr(start);
    if (line.find_first_of("\r\n") != std::string_view::npos)
        return true; // the request line is complete, and nothing after it counts
    const auto method = line.find_first_not_of(" \t");
    if (method == std::string_view::npos)
        return false;
    line.remove_prefix(method);
    // A line that can no longer begin with the piece "GET" is no callback, however it goes on.
    constexpr std::string_view get = "GET";
    const auto begun = line.substr(0, std::min(line.size(), get.size()));
    if (begun != get.substr(0, begun.size()))
        return true;
    return line.size() > get.size() && line[get.size()] != ' ' && line[get.size()] != '\t';
}

bool LoopbackReceiver::constantTimeEqual(std::string_view a, std::string_view b) {
    // Both sides are padded with zero bytes to the longer length, so the comparison touches
    // every byte of both, and a length difference alone makes them unequal.
    const std::size_t length = std::max(a.size(), b.size());
    std::string left(length, '\0');
    std::string right(length, '\0');
    std::copy(a.begin(), a.end(), left.begin());
    std::copy(b.begin(), b.end(), right.begin());
    const int lengthsDiffer = a.size() != b.size() ? 1 : 0;
    return (CRYPTO_memcmp(left.data(), right.data(), length) | lengthsDiffer) == 0;
}

std::string LoopbackReceiver::challengeFor(std::string_view verifier) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(verifier.data(), verifier.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        throw Failure::listenerFailed("SHA-256 is not available");
    return base64UrlEncode(std::string_view(reinterpret_cast<const char*>(digest), length));
}

std::string LoopbackReceiver::response(std::string_view statusLine, std::string_view message) {
    std::string page = "<!doctype html><meta charset=utf-8><title>Ostrel Hub</title>"
                       "<body style=\"font:16px -apple-system;padding:48px;text-align:center\">";
    page.append(message).append("</body>");
    std::string head = "HTTP/1.1 " + std::string(statusLine) +
                       "\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
                       "Referrer-Policy: no-referrer\r\nConnection: close\r\nContent-Length: " +
                       std::to_string(page.size()) + "\r\n\r\n";
    return head + page;
}

std::string LoopbackReceiver::response(const Outcome& outcome) {
    if (std::holds_alternative<NotACallback>(outcome))
        return response("404 Not Found", "");
    if (std::holds_alternative<Callback>(outcome))
        return response("200 OK", "You are signed in to Ostrel Hub. You can close this tab.");
    if (std::get<Failure>(outcome).kind() == Failure::Kind::stateMismatch)
        return response("400 Bad Request", "This sign-in link belongs to a different window.");
    return response("400 Bad Request", "Sign-in could not finish. Return to Ostrel Hub.");
}

// ---- Lifecycle ------------------------------------------------------------------------------

LoopbackReceiver::LoopbackReceiver() : LoopbackReceiver(Options{}) {}

LoopbackReceiver::LoopbackReceiver(Options options)
    : state_(randomBase64Url(24)), verifier_(randomBase64Url(32)), challenge_(challengeFor(verifier_)),
      options_(options) {
    wakeFd_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wakeFd_)
        listenerFailed(errno, "making the receiver's wake-up descriptor");
    listener_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener_)
        listenerFailed(errno, "making the listener's socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0; // any free port
    if (::bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        listenerFailed(errno, "binding the listener to 127.0.0.1");
}

LoopbackReceiver::~LoopbackReceiver() {
    if (server_.joinable()) {
        server_.request_stop();
        wake();
        server_.join();
    }
}

uint16_t LoopbackReceiver::start() {
    if (port_ != 0)
        return port_;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::listen(listener_.get(), SOMAXCONN) != 0 ||
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        listenerFailed(errno, "starting the listener");
    port_ = ntohs(address.sin_port);
    publish(true, 0);
    server_ = std::jthread([this](std::stop_token stop) { serve(stop); });
    return port_;
}

void LoopbackReceiver::wake() {
    const uint64_t one = 1;
    [[maybe_unused]] auto ignored = ::write(wakeFd_.get(), &one, sizeof one);
}

LoopbackReceiver::Status LoopbackReceiver::status() {
    std::lock_guard guard(lock_);
    auto now = status_;
    now.finished = result_.has_value();
    return now;
}

void LoopbackReceiver::publish(bool listening, std::size_t openConnections) {
    std::lock_guard guard(lock_);
    status_ = {.port = port_, .listening = listening, .openConnections = openConnections, .finished = false};
}

namespace {

// One accepted connection whose request is still arriving.
struct Connection {
    UniqueFd fd;
    std::string received;
    std::chrono::steady_clock::time_point deadline;
};
using Connections = std::vector<std::unique_ptr<Connection>>;

enum class Arrival { waiting, complete, broken };

// Reads what has arrived, up to maxRequestBytes in all. Complete once the request can be judged
// or its sender has stopped sending.
Arrival readMore(Connection& connection) {
    const auto had = connection.received.size();
    connection.received.resize(LoopbackReceiver::maxRequestBytes);
    const ssize_t count =
        ::recv(connection.fd.get(), connection.received.data() + had, LoopbackReceiver::maxRequestBytes - had, 0);
    const int error = errno;
    connection.received.resize(had + static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
    if (count < 0 && (error == EAGAIN || error == EWOULDBLOCK || error == EINTR))
        return Arrival::waiting;
    if (count < 0) {
        Log::info(Log::Category::receiver, "a connection failed: " + systemFailure(error).reason());
        return Arrival::broken;
    }
    return count == 0 || LoopbackReceiver::canJudge(connection.received) ? Arrival::complete : Arrival::waiting;
}

// Milliseconds until the earliest deadline, for poll(); -1 when there is none.
int untilEarliest(const Connections& connections) {
    if (connections.empty())
        return -1;
    const auto earliest = std::min_element(connections.begin(), connections.end(),
                                           [](const auto& a, const auto& b) { return a->deadline < b->deadline; });
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>((*earliest)->deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<int64_t>(left.count(), 0, 60'000));
}

// Makes room for one more: the oldest connection that has sent nothing, else the oldest.
void evictOne(Connections& connections) {
    auto victim = std::find_if(connections.begin(), connections.end(),
                               [](const auto& connection) { return connection->received.empty(); });
    if (victim == connections.end())
        victim = connections.begin();
    Log::warning(Log::Category::receiver, "too many open connections; closing the oldest " +
                                              std::string((*victim)->received.empty() ? "idle " : "") + "one");
    connections.erase(victim);
}

// Closes, without an answer, every connection that did not send its request line in time.
void closeOverdue(Connections& connections) {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(connections, [&](const auto& connection) {
        if (connection->deadline > now)
            return false;
        Log::info(Log::Category::receiver, "closing a connection that sent " +
                                               std::to_string(connection->received.size()) +
                                               " bytes and no request line in time");
        return true;
    });
}

} // namespace

// The one thread that accepts connections and answers them. Connections are watched together,
// so a browser's idle spare connection never holds up the one that carries the callback.
void LoopbackReceiver::serve(std::stop_token stop) {
    Connections connections;   // oldest first
    bool acceptPaused = false; // the process ran out of descriptors; retry once one is freed
    while (!stop.stop_requested() && !finished()) {
        std::vector<pollfd> watched{{wakeFd_.get(), POLLIN, 0}, {acceptPaused ? -1 : listener_.get(), POLLIN, 0}};
        for (const auto& connection : connections)
            watched.push_back({connection->fd.get(), POLLIN, 0});
        if (::poll(watched.data(), watched.size(), untilEarliest(connections)) < 0) {
            if (errno == EINTR)
                continue;
            const auto failure = systemFailure(errno);
            Log::error(Log::Category::receiver, "waiting for connections failed: " + failure.reason());
            finish({std::nullopt, std::make_exception_ptr(failure)});
            break;
        }
        uint64_t wakeCount = 0;
        [[maybe_unused]] auto ignored = ::read(wakeFd_.get(), &wakeCount, sizeof wakeCount);
        for (std::size_t i = connections.size(); i-- > 0;) {
            const auto arrival = watched[i + 2].revents != 0 ? readMore(*connections[i]) : Arrival::waiting;
            if (arrival == Arrival::waiting)
                continue;
            if (arrival == Arrival::complete) {
                answer(connections[i]->fd.get(), connections[i]->received);
                closeGently(std::move(connections[i]->fd));
            }
            connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(i));
            acceptPaused = false;
        }
        closeOverdue(connections);
        if (watched[1].revents & POLLIN) {
            if (connections.size() >= maxOpenConnections)
                evictOne(connections);
            UniqueFd fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (fd)
                connections.push_back(std::make_unique<Connection>(
                    Connection{std::move(fd), {}, std::chrono::steady_clock::now() + options_.connectionTimeout}));
            else
                acceptPaused = errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
        }
        publish(true, connections.size());
    }
    // From here on the system refuses new connections.
    connections.clear();
    listener_.reset();
    publish(false, 0);
}

bool LoopbackReceiver::finished() {
    std::lock_guard guard(lock_);
    return result_.has_value();
}

// Answers a request and passes on what it decided.
void LoopbackReceiver::answer(int connection, std::string_view request) {
    Outcome outcome = parse(request, state_);
    sendAll(connection, response(outcome));
    if (const auto* callback = std::get_if<Callback>(&outcome)) {
        Log::info(Log::Category::receiver, "the browser's callback arrived");
        finish({*callback, nullptr});
    } else if (const auto* failure = std::get_if<Failure>(&outcome)) {
        Log::warning(Log::Category::receiver, std::string("a callback was refused: ") + failure->what());
        // A stray callback from another window must not end this sign-in.
        if (failure->kind() != Failure::Kind::stateMismatch)
            finish({std::nullopt, std::make_exception_ptr(*failure)});
    }
}

void LoopbackReceiver::finish(Result result) {
    {
        std::lock_guard guard(lock_);
        if (result_)
            return;
        result_ = std::move(result);
    }
    changed_.notify_all();
    wake();
}

void LoopbackReceiver::cancel() {
    finish({std::nullopt, std::make_exception_ptr(Cancelled())});
}

LoopbackReceiver::Callback LoopbackReceiver::wait(std::chrono::duration<double> timeout, std::stop_token stop) {
    std::unique_lock guard(lock_);
    auto ready = [this] { return result_.has_value(); };
    bool done = timeout >= longestTimeout ? changed_.wait(guard, stop, ready)
                                          : changed_.wait_until(guard, stop, deadlineAfter(timeout), ready);
    if (!done) {
        if (stop.stop_requested()) {
            result_ = Result{std::nullopt, std::make_exception_ptr(Cancelled())};
        } else {
            Log::warning(Log::Category::receiver, "no callback came before the sign-in's time-out");
            result_ = Result{std::nullopt, std::make_exception_ptr(Failure::timedOut())};
        }
        changed_.notify_all();
        wake();
    }
    if (result_->error)
        std::rethrow_exception(result_->error);
    return *result_->callback;
}

} // namespace ostrel
