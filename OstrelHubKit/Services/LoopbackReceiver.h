#pragma once

#include "Util/Error.h"
#include "Util/UniqueFd.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <variant>

namespace ostrel {

// The page on this machine that a browser sign-in returns to: a one-shot HTTP listener on
// 127.0.0.1 at a port the system picks. It accepts exactly one valid callback, answers the
// browser with a short page and hands the callback's one-time code to whoever waits. It also
// makes the values that tie the browser round trip to this attempt: a random `state` and a PKCE
// verifier with its S256 challenge. One receiver serves one attempt.
class LoopbackReceiver {
public:
    // What a valid callback carries.
    struct Callback {
        std::string code;
        bool operator==(const Callback&) const = default;
    };

    class Failure : public Error {
    public:
        enum class Kind { listenerFailed, timedOut, stateMismatch, serverTooOld };

        static Failure listenerFailed(std::string reason) { return Failure(Kind::listenerFailed, std::move(reason)); }
        static Failure timedOut() { return Failure(Kind::timedOut, {}); }
        static Failure stateMismatch() { return Failure(Kind::stateMismatch, {}); }
        static Failure serverTooOld() { return Failure(Kind::serverTooOld, {}); }

        Kind kind() const { return kind_; }
        // The listener's own reason, for listenerFailed; empty otherwise.
        const std::string& reason() const { return reason_; }

        bool operator==(const Failure& other) const { return kind_ == other.kind_ && reason_ == other.reason_; }

    private:
        Failure(Kind kind, std::string reason);
        Kind kind_;
        std::string reason_;
    };

    // A request that is not a callback at all (another path, another method, no state).
    struct NotACallback {
        bool operator==(const NotACallback&) const = default;
    };
    using Outcome = std::variant<NotACallback, Callback, Failure>;

    // Bytes of a request looked at; anything after them is ignored.
    static constexpr std::size_t maxRequestBytes = 16384;
    // Connections kept open at once while their request is still arriving. When one more comes,
    // the oldest that has sent nothing yet (else simply the oldest) is closed to make room, so
    // silent connections can never keep the browser's callback out.
    static constexpr std::size_t maxOpenConnections = 32;

    struct Options {
        // How long a connection may take, from being accepted, to send its request line.
        std::chrono::milliseconds connectionTimeout = std::chrono::seconds(10);
    };

    // What the receiver is doing; all of it at one moment.
    struct Status {
        uint16_t port = 0;               // 0 until start()
        bool listening = false;          // connections are being accepted
        std::size_t openConnections = 0; // accepted, with their request not yet judged
        bool finished = false;           // the attempt has its one result
        bool operator==(const Status&) const = default;
    };

    // Makes the random values and binds the listener. Throws Failure::listenerFailed.
    LoopbackReceiver();
    explicit LoopbackReceiver(Options options);
    LoopbackReceiver(const LoopbackReceiver&) = delete;
    LoopbackReceiver& operator=(const LoopbackReceiver&) = delete;
    ~LoopbackReceiver();

    // 32 characters: 24 random bytes in base64url without padding.
    const std::string& state() const { return state_; }
    // 43 characters: 32 random bytes in base64url without padding.
    const std::string& verifier() const { return verifier_; }
    // base64url without padding of the SHA-256 digest of the verifier.
    const std::string& challenge() const { return challenge_; }

    // Starts listening and answering browsers; returns the port. The browser is sent back to
    // "http://127.0.0.1:<port>/cb". Throws Failure::listenerFailed.
    uint16_t start();

    // Blocks until the one result of this attempt: returns the callback, or throws the Failure
    // that ended it, Failure::timedOut after `timeout`, or ostrel::Cancelled when `stop` is
    // requested or cancel() is called. A result that came before the call is returned at once,
    // and every later call returns the same result. Safe from any thread.
    Callback wait(std::chrono::duration<double> timeout, std::stop_token stop = {});

    // Ends the attempt with ostrel::Cancelled (unless it has already ended).
    void cancel();

    Status status();

    // Judges the text of one request against the expected state.
    static Outcome parse(std::string_view request, std::string_view expectedState);
    // Whether the first bytes of a request are enough to judge it: its request line has ended,
    // they fill maxRequestBytes, or they can no longer begin a GET. More bytes never change
    // what parse() makes of bytes that are enough.
    static bool canJudge(std::string_view received);
    // Equality of two texts in time that depends only on their lengths, not on their contents.
    static bool constantTimeEqual(std::string_view a, std::string_view b);
    // The S256 challenge of a PKCE verifier.
    static std::string challengeFor(std::string_view verifier);
    // The complete HTTP response for an outcome, and for a status line and page message.
    static std::string response(const Outcome& outcome);
    static std::string response(std::string_view statusLine, std::string_view message);

private:
    struct Result {
        std::optional<Callback> callback;
        std::exception_ptr error;
    };

    void serve(std::stop_token stop);
    bool finished();
    void answer(int connection, std::string_view request);
    void finish(Result result);
    void wake();
    void publish(bool listening, std::size_t openConnections);

    std::string state_;
    std::string verifier_;
    std::string challenge_;
    UniqueFd listener_;
    UniqueFd wakeFd_;
    uint16_t port_ = 0;
    const Options options_;

    std::mutex lock_;
    std::condition_variable_any changed_;
    std::optional<Result> result_; // set once, by the first result that ends the attempt
    Status status_;                // guarded by lock_
    std::jthread server_;
};

} // namespace ostrel
