// The receiver is exercised over real sockets on 127.0.0.1, the way a browser reaches it.
#include "Services/LoopbackReceiver.h"
#include "Util/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <future>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>

using namespace std::chrono_literals;
using ostrel::LoopbackReceiver;
using ostrel::UniqueFd;
using Failure = LoopbackReceiver::Failure;

namespace {

const std::string signedInPage =
    "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
    "Referrer-Policy: no-referrer\r\nConnection: close\r\nContent-Length: 192\r\n\r\n"
    "<!doctype html><meta charset=utf-8><title>Ostrel Hub</title>"
    "<body style=\"font:16px -apple-system;padding:48px;text-align:center\">"
    "You are signed in to Ostrel Hub. You can close this tab.</body>";
const std::string differentWindow = "This sign-in link belongs to a different window.";
const std::string couldNotFinish = "Sign-in could not finish. Return to Ostrel Hub.";

// A connected client socket, or an invalid one when the connection was refused.
UniqueFd connectTo(uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return UniqueFd();
    timeval limit{10, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return fd;
}

// Everything the server sends until it closes the connection.
std::string readAll(const UniqueFd& fd) {
    std::string answer;
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(fd.get(), buffer, sizeof buffer, 0)) > 0)
        answer.append(buffer, static_cast<std::size_t>(n));
    return answer;
}

std::string roundTrip(uint16_t port, const std::string& request) {
    UniqueFd fd = connectTo(port);
    EXPECT_TRUE(fd.valid());
    EXPECT_EQ(::send(fd.get(), request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    return readAll(fd);
}

std::string get(uint16_t port, const std::string& target) {
    return roundTrip(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: test\r\n\r\n");
}

std::string statusLine(const std::string& response) {
    return response.substr(0, response.find("\r\n"));
}
std::string body(const std::string& response) {
    return response.substr(response.find("\r\n\r\n") + 4);
}

bool hasData(const UniqueFd& fd, std::chrono::milliseconds within) {
    pollfd watched{fd.get(), POLLIN, 0};
    return ::poll(&watched, 1, static_cast<int>(within.count())) > 0;
}

// True when the receiver closed the connection without a word (waiting up to ten seconds).
bool closedByReceiver(const UniqueFd& fd) {
    if (!hasData(fd, 10s))
        return false;
    char byte = 0;
    const auto n = ::recv(fd.get(), &byte, 1, 0);
    return n == 0 || (n < 0 && errno == ECONNRESET);
}

// The receiver's status once `reached` holds for it (waiting up to ten seconds), or the last one.
template <typename Predicate>
LoopbackReceiver::Status waitForStatus(LoopbackReceiver& receiver, Predicate reached) {
    auto status = receiver.status();
    for (int i = 0; i < 2000 && !reached(status); ++i) {
        std::this_thread::sleep_for(5ms);
        status = receiver.status();
    }
    return status;
}

template <typename Call>
Failure failureOf(Call call) {
    try {
        call();
    } catch (const Failure& failure) {
        return failure;
    }
    ADD_FAILURE() << "no LoopbackReceiver::Failure was thrown";
    return Failure::listenerFailed("none");
}

} // namespace

TEST(LoopbackReceiver, MakesFreshStateVerifierAndChallenge) {
    LoopbackReceiver first;
    LoopbackReceiver second;
    auto isBase64Url = [](const std::string& s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return std::isalnum(c) || c == '-' || c == '_'; });
    };
    EXPECT_EQ(first.state().size(), 32u);
    EXPECT_EQ(first.verifier().size(), 43u);
    EXPECT_EQ(first.challenge().size(), 43u);
    EXPECT_TRUE(isBase64Url(first.state()) && isBase64Url(first.verifier()) && isBase64Url(first.challenge()));
    EXPECT_NE(first.state(), second.state());
    EXPECT_NE(first.verifier(), second.verifier());
    EXPECT_EQ(first.challenge(), LoopbackReceiver::challengeFor(first.verifier()));
    // The S256 example of RFC 7636, appendix B.
    EXPECT_EQ(LoopbackReceiver::challengeFor("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
}

TEST(LoopbackReceiver, CallbackWithOwnStateEndsTheWaitWithItsCode) {
    LoopbackReceiver receiver;
    const uint16_t port = receiver.start();
    EXPECT_GT(port, 0);
    auto waiting = std::async(std::launch::async, [&] { return receiver.wait(30s); });
    EXPECT_EQ(get(port, "/cb?state=" + receiver.state() + "&hub_code=c0de%2B1+2"), signedInPage);
    EXPECT_EQ(waiting.get(), LoopbackReceiver::Callback{"c0de+1+2"});
}

TEST(LoopbackReceiver, ResultThatCameBeforeTheWaitIsDelivered) {
    LoopbackReceiver receiver;
    const uint16_t port = receiver.start();
    EXPECT_EQ(statusLine(get(port, "/cb?hub_code=early&state=" + receiver.state())), "HTTP/1.1 200 OK");
    EXPECT_EQ(receiver.wait(0s), LoopbackReceiver::Callback{"early"});
    // Later callbacks never make a second result, and the listener is gone.
    if (UniqueFd late = connectTo(port)) {
        const std::string request = "GET /cb?hub_code=late&state=" + receiver.state() + " HTTP/1.1\r\n\r\n";
        ::send(late.get(), request.data(), request.size(), MSG_NOSIGNAL);
        std::string answer = readAll(late);
        EXPECT_TRUE(answer.empty() || answer == signedInPage);
    }
    EXPECT_EQ(receiver.wait(0s), LoopbackReceiver::Callback{"early"});
    EXPECT_FALSE(connectTo(port).valid());
}

TEST(LoopbackReceiver, StrayCallbackIsRefusedAndTheWaitGoesOn) {
    LoopbackReceiver receiver;
    const uint16_t port = receiver.start();
    auto waiting = std::async(std::launch::async, [&] { return receiver.wait(30s); });
    std::string stray = get(port, "/cb?state=" + receiver.state().substr(1) + "&hub_code=x");
    EXPECT_EQ(statusLine(stray), "HTTP/1.1 400 Bad Request");
    EXPECT_NE(body(stray).find(differentWindow), std::string::npos);
    EXPECT_EQ(statusLine(get(port, "/cb?state=" + receiver.state() + "A&hub_code=x")), "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(waiting.wait_for(200ms), std::future_status::timeout);
    EXPECT_EQ(statusLine(get(port, "/cb?state=" + receiver.state() + "&hub_code=real")), "HTTP/1.1 200 OK");
    EXPECT_EQ(waiting.get(), LoopbackReceiver::Callback{"real"});
}

TEST(LoopbackReceiver, OtherRequestsGetNotFoundAndTheWaitGoesOn) {
    LoopbackReceiver receiver;
    const uint16_t port = receiver.start();
    // A browser's spare connection that never sends anything holds up nobody.
    UniqueFd idle = connectTo(port);
    auto waiting = std::async(std::launch::async, [&] { return receiver.wait(30s); });
    const std::string query = "?state=" + receiver.state() + "&hub_code=x";
    const std::string notFound = LoopbackReceiver::response("404 Not Found", "");
    EXPECT_EQ(roundTrip(port, "POST /cb" + query + " HTTP/1.1\r\nContent-Length: 0\r\n\r\n"), notFound);
    EXPECT_EQ(get(port, "/cb?hub_code=x"), notFound);
    EXPECT_EQ(get(port, "/favicon.ico"), notFound);
    EXPECT_EQ(get(port, "/cb/" + query), notFound);
    EXPECT_EQ(roundTrip(port, "garbage"), notFound);
    EXPECT_EQ(waiting.wait_for(100ms), std::future_status::timeout);
    EXPECT_FALSE(hasData(idle, 0ms));
    EXPECT_EQ(statusLine(get(port, "/cb" + query)), "HTTP/1.1 200 OK");
    EXPECT_EQ(waiting.get(), LoopbackReceiver::Callback{"x"});
}

TEST(LoopbackReceiver, CallbackWithoutHubCodeMeansTheServerIsTooOld) {
    LoopbackReceiver receiver;
    const uint16_t port = receiver.start();
    std::string answer = get(port, "/cb?state=" + receiver.state() + "&code=x");
    EXPECT_EQ(answer, LoopbackReceiver::response("400 Bad Request", couldNotFinish));
    Failure failure = failureOf([&] { receiver.wait(30s); });
    EXPECT_EQ(failure, Failure::serverTooOld());
    EXPECT_STREQ(failure.what(),
                 "The Ostrel ID server has not been updated for Ostrel Hub yet. Use an email code for now.");
}

TEST(LoopbackReceiver, OnlyTheFirstBytesOfARequestAreRead) {
    LoopbackReceiver receiver;
    const uint16_t port = receiver.start();
    const std::string head = "GET /cb?state=" + receiver.state() + "&hub_code=";
    const std::string code(LoopbackReceiver::maxRequestBytes - head.size() + 10, 'k');
    EXPECT_EQ(statusLine(roundTrip(port, head + code + " HTTP/1.1\r\n\r\n")), "HTTP/1.1 200 OK");
    EXPECT_EQ(receiver.wait(30s).code, code.substr(0, code.size() - 10));
}

TEST(LoopbackReceiver, NoCallbackWithinTheTimeOut) {
    LoopbackReceiver receiver;
    const uint16_t port = receiver.start();
    Failure failure = failureOf([&] { receiver.wait(0.2s); });
    EXPECT_EQ(failure, Failure::timedOut());
    EXPECT_STREQ(failure.what(), "Sign-in timed out. Try again.");
    EXPECT_EQ(failureOf([&] { receiver.wait(30s); }), Failure::timedOut());
    // The listener closes with the attempt.
    for (int i = 0; i < 100 && connectTo(port).valid(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(connectTo(port).valid());
}

TEST(LoopbackReceiver, CancellingEndsTheWait) {
    LoopbackReceiver byCall;
    byCall.start();
    auto waiting = std::async(std::launch::async, [&] { return byCall.wait(std::chrono::duration<double>(1e12)); });
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    byCall.cancel();
    EXPECT_THROW(waiting.get(), ostrel::Cancelled);

    LoopbackReceiver byToken;
    byToken.start();
    std::stop_source stop;
    auto tokenWaiting = std::async(std::launch::async, [&] { return byToken.wait(300s, stop.get_token()); });
    stop.request_stop();
    EXPECT_THROW(tokenWaiting.get(), ostrel::Cancelled);
    EXPECT_THROW(byToken.wait(300s), ostrel::Cancelled);
}

// Silent connections never keep the browser out: when the receiver is full, the oldest one that
// has sent nothing makes room for the next.
TEST(LoopbackReceiver, IdleConnectionsNeverKeepTheCallbackOut) {
    LoopbackReceiver receiver;
    const uint16_t port = receiver.start();
    UniqueFd talking = connectTo(port);
    const std::string begun = "GET /cb?state=";
    ASSERT_EQ(::send(talking.get(), begun.data(), begun.size(), MSG_NOSIGNAL), static_cast<ssize_t>(begun.size()));
    waitForStatus(receiver, [](const auto& status) { return status.openConnections == 1; });
    std::vector<UniqueFd> idle;
    for (std::size_t i = 0; i < LoopbackReceiver::maxOpenConnections + 8; ++i)
        idle.push_back(connectTo(port));
    // The idle ones make room, oldest first; the one that has begun its request stays.
    EXPECT_TRUE(closedByReceiver(idle.front()));
    EXPECT_FALSE(hasData(talking, 0ms));
    UniqueFd callback = connectTo(port);
    const std::string request = "GET /cb?state=" + receiver.state() + "&hub_code=late HTTP/1.1\r\n\r\n";
    ASSERT_EQ(::send(callback.get(), request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    EXPECT_EQ(readAll(callback), signedInPage);
    EXPECT_EQ(receiver.wait(30s), LoopbackReceiver::Callback{"late"});
}

// A connection gets a short while to send its request line, then it is closed unanswered.
TEST(LoopbackReceiver, ConnectionsThatOutstayTheirDeadlineAreClosed) {
    LoopbackReceiver receiver({.connectionTimeout = 50ms});
    const uint16_t port = receiver.start();
    UniqueFd silent = connectTo(port);
    UniqueFd slow = connectTo(port);
    const std::string begun = "GET /cb?state=" + receiver.state() + "&hub_code=ab";
    ASSERT_EQ(::send(slow.get(), begun.data(), begun.size(), MSG_NOSIGNAL), static_cast<ssize_t>(begun.size()));
    EXPECT_TRUE(closedByReceiver(silent));
    EXPECT_TRUE(closedByReceiver(slow)); // no answer: its code may have been cut short
    const auto status = waitForStatus(receiver, [](const auto& s) { return s.openConnections == 0; });
    EXPECT_EQ(status,
              (LoopbackReceiver::Status{.port = port, .listening = true, .openConnections = 0, .finished = false}));
    EXPECT_EQ(statusLine(get(port, "/cb?state=" + receiver.state() + "&hub_code=abc")), "HTTP/1.1 200 OK");
    EXPECT_EQ(receiver.wait(30s), LoopbackReceiver::Callback{"abc"});
}

// A request is read until its request line is complete, however many pieces it comes in.
TEST(LoopbackReceiver, ACallbackArrivingInPiecesIsReadWhole) {
    LoopbackReceiver receiver;
    const uint16_t port = receiver.start();
    UniqueFd fd = connectTo(port);
    const std::vector<std::string> pieces = {"\r\nG", "ET /cb?state=" + receiver.state(), "&hub_code=abc",
                                             "def HTTP/1.1", "\r\nHost: 127.0.0.1\r\n\r\n"};
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        ASSERT_EQ(::send(fd.get(), pieces[i].data(), pieces[i].size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(pieces[i].size()));
        EXPECT_FALSE(hasData(fd, 100ms)) << "answered after piece " << i;
    }
    ASSERT_EQ(::send(fd.get(), pieces.back().data(), pieces.back().size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(pieces.back().size()));
    EXPECT_EQ(readAll(fd), signedInPage);
    EXPECT_EQ(receiver.wait(30s), LoopbackReceiver::Callback{"abcdef"});
}

// Everything the receiver shows of itself, at each point of one attempt.
TEST(LoopbackReceiver, StatusFollowsTheAttempt) {
    using Status = LoopbackReceiver::Status;
    LoopbackReceiver receiver;
    EXPECT_EQ(receiver.status(), (Status{.port = 0, .listening = false, .openConnections = 0, .finished = false}));
    const uint16_t port = receiver.start();
    EXPECT_EQ(receiver.status(), (Status{.port = port, .listening = true, .openConnections = 0, .finished = false}));
    UniqueFd first = connectTo(port);
    UniqueFd second = connectTo(port);
    EXPECT_EQ(waitForStatus(receiver, [](const auto& s) { return s.openConnections == 2; }),
              (Status{.port = port, .listening = true, .openConnections = 2, .finished = false}));
    EXPECT_EQ(statusLine(get(port, "/cb?state=" + receiver.state() + "&hub_code=x")), "HTTP/1.1 200 OK");
    EXPECT_EQ(waitForStatus(receiver, [](const auto& s) { return !s.listening; }),
              (Status{.port = port, .listening = false, .openConnections = 0, .finished = true}));
    EXPECT_TRUE(closedByReceiver(first));
}

TEST(LoopbackReceiver, ListenerThatCannotBeMadeFailsInOwnWords) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers need spare descriptors of their own while the receiver unwinds";
#endif
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    // Lower the limit to the descriptors already open, so the next one cannot be made.
    UniqueFd probe(::dup(0));
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(probe.get());
    probe.reset();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    Failure failure = failureOf([] { LoopbackReceiver receiver; });
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(failure, Failure::listenerFailed("Too many open files"));
    EXPECT_STREQ(failure.what(), "Could not wait for the browser: Too many open files");
}

TEST(LoopbackRequest, JudgesTheRequestLine) {
    using Outcome = LoopbackReceiver::Outcome;
    const std::string state = "S-t_a.te";
    auto parse = [&](const std::string& text) { return LoopbackReceiver::parse(text, state); };
    const Outcome notCallback = LoopbackReceiver::NotACallback{};
    EXPECT_EQ(parse("\r\n\nGET\t/cb?state=S-t_a.te&hub_code=c  HTTP/1.1"), Outcome(LoopbackReceiver::Callback{"c"}));
    EXPECT_EQ(parse("GET /cb?state=S%2Dt_a.te&hub_code=%C3%BC#frag"), Outcome(LoopbackReceiver::Callback{"\xc3\xbc"}));
    EXPECT_EQ(parse("GET /%63b?state=S-t_a.te&hub_code=c"), Outcome(LoopbackReceiver::Callback{"c"}));
    EXPECT_EQ(parse("GET /cb?state=S-t_a.te&hub_code="), Outcome(Failure::serverTooOld()));
    EXPECT_EQ(parse("GET /cb?state=S-t_a.t&hub_code=c"), Outcome(Failure::stateMismatch()));
    EXPECT_EQ(parse("GET /cb?state=S-t_a.tee&hub_code=c"), Outcome(Failure::stateMismatch()));
    EXPECT_EQ(parse("GET /cb?state&hub_code=c"), Outcome(Failure::stateMismatch()));
    EXPECT_EQ(parse("get /cb?state=S-t_a.te&hub_code=c"), notCallback);
    EXPECT_EQ(parse("GET"), notCallback);
    EXPECT_EQ(parse(""), notCallback);
    EXPECT_EQ(parse("GET cb?state=S-t_a.te&hub_code=c"), notCallback);
    EXPECT_EQ(parse("GET /cb?state=S-t_a.te&hub_code=<c>"), notCallback);
    EXPECT_EQ(parse("GET /cb?state=S-t_a.te&hub_code=%zz"), notCallback);
    EXPECT_EQ(parse("GET /cb?state=S-t_a.te&hub_code=%ff"), notCallback);
    EXPECT_EQ(parse("GET :99x/cb?state=S-t_a.te&hub_code=c"), notCallback);
    EXPECT_EQ(parse("GET :8080/cb?state=S-t_a.te&hub_code=c"), Outcome(LoopbackReceiver::Callback{"c"}));
}

TEST(LoopbackRequest, KnowsWhenEnoughOfARequestHasArrived) {
    const auto enough = [](std::string_view bytes) { return LoopbackReceiver::canJudge(bytes); };
    for (const char* waiting : {"", "\r\n", "G", "GE", "GET", "\n GET", "GET ", "GET\t/cb?state=x&hub_code=12"})
        EXPECT_FALSE(enough(waiting)) << waiting;
    for (const char* judged : {"P", "GETX", "get", "GET /cb\n", "\r\nGET /cb?state=x HTTP/1.1\r", " POST"})
        EXPECT_TRUE(enough(judged)) << judged;
    const std::string line = "GET /" + std::string(LoopbackReceiver::maxRequestBytes, 'a');
    EXPECT_FALSE(enough(std::string_view(line).substr(0, LoopbackReceiver::maxRequestBytes - 1)));
    EXPECT_TRUE(enough(std::string_view(line).substr(0, LoopbackReceiver::maxRequestBytes)));

    // Whatever is enough is judged as the whole request would be.
    const std::string state = "S";
    for (const std::string request :
         {"\r\n  GET /cb?state=S&hub_code=c0de HTTP/1.1\r\nHost: x\r\n\r\n",
          "GET /cb?state=T&hub_code=c HTTP/1.1\r\n\r\n", "POST /cb?state=S\r\n\r\n", "GET /cb?state=S&hub_code=c\n"}) {
        for (std::size_t cut = 0; cut <= request.size(); ++cut) {
            const auto prefix = std::string_view(request).substr(0, cut);
            if (enough(prefix)) {
                EXPECT_EQ(LoopbackReceiver::parse(prefix, state), LoopbackReceiver::parse(request, state))
                    << request << " cut at " << cut;
            }
        }
    }
}

TEST(LoopbackRequest, StateComparisonIsExact) {
    EXPECT_TRUE(LoopbackReceiver::constantTimeEqual("", ""));
    EXPECT_TRUE(LoopbackReceiver::constantTimeEqual("abc", "abc"));
    EXPECT_FALSE(LoopbackReceiver::constantTimeEqual("abc", "ab"));
    EXPECT_FALSE(LoopbackReceiver::constantTimeEqual("ab", "abc"));
    EXPECT_FALSE(LoopbackReceiver::constantTimeEqual("abc", std::string("abc\0", 4)));
    EXPECT_FALSE(LoopbackReceiver::constantTimeEqual("abc", "abd"));
    EXPECT_FALSE(LoopbackReceiver::constantTimeEqual("", "a"));
}

TEST(LoopbackRequest, ContentLengthCountsBytes) {
    const std::string message = "Grüße ✓";
    std::string response = LoopbackReceiver::response("200 OK", message);
    std::string page = body(response);
    EXPECT_NE(response.find("\r\nContent-Length: " + std::to_string(page.size()) + "\r\n"), std::string::npos);
    EXPECT_EQ(page.size(), 136u + message.size());
    EXPECT_EQ(page.substr(page.size() - message.size() - 7), message + "</body>");
}
