#include "Command.h"
#include "Services/MoonbaseError.h"
#include "StoreSession.h"
#include "Util/Error.h"

#include <iostream>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace ostrel::hubctl {
namespace {

// Keeps the terminal from echoing what is typed while it lives.
class EchoOff {
public:
    EchoOff() : active_(::tcgetattr(STDIN_FILENO, &saved_) == 0) {
        if (!active_)
            return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~EchoOff() {
        if (active_)
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    termios saved_{};
    bool active_;
};

// Far longer than any password; standard input may be a file of any size.
constexpr std::size_t maxPasswordBytes = 4096;

std::string firstLineOfInput() {
    std::string line;
    for (int c = std::cin.get(); c != std::char_traits<char>::eof() && c != '\n'; c = std::cin.get()) {
        if (line.size() == maxPasswordBytes)
            throw Error("The password is longer than " + std::to_string(maxPasswordBytes) + " bytes.");
        line.push_back(static_cast<char>(c));
    }
    return line;
}

// Asked for on a terminal without echo; otherwise the first line of standard input, so scripts
// can pipe it in and it never appears in the process list.
std::string readPassword(Output io) {
    std::string password;
    if (::isatty(STDIN_FILENO) == 1) {
        io.err << "Password: " << std::flush;
        const EchoOff quiet;
        password = firstLineOfInput();
        io.err << "\n";
    } else {
        password = firstLineOfInput();
    }
    if (password.empty())
        throw UsageError("No password was given.");
    return password;
}

int signIn(const CommandLine& line, Output io) {
    if (line.arguments().size() > 1 || (line.arguments().size() == 1 && line.value("email")))
        throw UsageError("Give the e-mail address once.");
    const std::string email = line.arguments().empty() ? line.value("email").value_or("") : line.arguments()[0];
    if (email.empty())
        throw UsageError("Missing the e-mail address.");
    StoreSession store(line);
    const auto user = store.client.signIn(email, readPassword(io));
    io.out << "Signed in as " << user.name << " <" << user.email << ">.\n";
    return 0;
}

int signOut(const CommandLine& line, Output io) {
    line.expectArguments(0, "nothing");
    StoreSession store(line);
    store.client.signOut();
    io.out << "Signed out.\n";
    return 0;
}

int whoAmI(const CommandLine& line, Output io) {
    line.expectArguments(0, "nothing");
    StoreSession store(line);
    if (!store.client.isSignedIn())
        throw MoonbaseError::notSignedIn();
    const auto user = store.client.currentUser();
    io.out << user.name << " <" << user.email << ">\n";
    return 0;
}

} // namespace

Command signInCommand() {
    auto options = storeOptions;
    options.insert("email");
    return {"signin",
            "sign in to the store with e-mail and password",
            "ostrel-hubctl signin EMAIL [--config FILE]\n\n"
            "Asks for the password without showing it (or reads one line of standard input when\n"
            "that is not a terminal) and keeps the session where the app keeps it, so the app and\n"
            "the background updater are signed in too.\n\n"
            "  --email EMAIL   the account's e-mail address, instead of the argument\n"
            "  --config FILE   the service configuration (default: the production services)\n",
            options,
            {},
            signIn};
}

Command signOutCommand() {
    return {"signout",
            "forget the store session",
            "ostrel-hubctl signout [--config FILE]\n\nForgets the store session here and for the app.\n",
            storeOptions,
            {},
            signOut};
}

Command whoAmICommand() {
    return {"whoami",
            "show the signed-in store account",
            "ostrel-hubctl whoami [--config FILE]\n\nAsks the store who the kept session belongs to.\n",
            storeOptions,
            {},
            whoAmI};
}

} // namespace ostrel::hubctl
