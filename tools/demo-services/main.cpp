// ostrel-demo-services: every service Ostrel Hub talks to, on 127.0.0.1, for development,
// demos and end-to-end tests. Runs in the foreground until interrupted.
#include "DemoServices.h"
#include "Install/HubFolderSwap.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pthread.h>

#ifndef OSTREL_DEMO_CATALOGUE
#error "OSTREL_DEMO_CATALOGUE must name the default catalogue file"
#endif

namespace {

using ostrel::demo::DemoServices;
using ostrel::demo::DemoServicesOptions;

constexpr const char* usage = R"(Usage: ostrel-demo-services [options]

Serves the store API, Ostrel ID with reviews, the extras feed, images, downloads and a
checkout page over HTTPS on 127.0.0.1, with a certificate authority of its own, and writes
a service configuration that points Ostrel Hub at it. Runs until Ctrl-C.

Options:
  --state DIR               where the CA, the code-signing PKI, release files, the
                            token key, images and configuration go (default:
                            $XDG_STATE_HOME/ostrel-demo-services when XDG_STATE_HOME
                            is set, else ostrel-demo-services-UID in $TMPDIR or /tmp;
                            here and now: {state})
  --port N                  the port to listen on (default: any free port; 443 lets a
                            browser that trusts the CA open the sign-in and checkout pages)
  --token-lifetime SECONDS  lifetime of store access tokens (default: 300)
  --settle-seconds SECONDS  time from paying to the order reading "Paid" (default: 3)
  --page-size N             owned products per inventory page (default: 4)
  --catalogue FILE          the demo catalogue (default: the one in the source tree)
  --hub-folder DIR          an installed Ostrel Hub (the folder holding bin/ostrel-hub) to
                            publish one version up as the hub's own update, signed with
                            the demo key (default: the install prefix of this build,
                            {prefix}, when a hub is installed there)
  --help                    show this text

Release files are signed for the demo team K7QZ2M4XNB; the root they lead to is written as
STATE/code-signing-root.pem. Check one as the hub does with:
  ostrel-hubctl check STATE/releases/FILE --anchors STATE/code-signing-root.pem
Demo accounts: demo@ostrel.test (owns products) and new@ostrel.test, password "demo". Ostrel ID sign-in
codes are written to this log.

Download misbehaviour for tests: add ?fault=FAULT to a download address, or POST (no body
needed) https://releases.storage.ostrel.localhost/_demo/fault?mode=FAULT&count=N to set it for
the next N downloads (every one without count); mode=none switches it off and lets stalled
downloads go. FAULT is one of:
  wrong-size     the file comes with 4096 bytes more than the store published
  slow           the body trickles out in small pieces
  http-redirect  a redirect to the same file over plain http
  not-found      404
  drop           the connection closes halfway through the body
  ignore-range   a request for a range gets the whole file with 200
  change-file    the release is made again first: new bytes, new ETag, still signed
  stall          the body stops halfway; the connection stays open, sending nothing
GET https://releases.storage.ostrel.localhost/_demo/downloads[?file=KEY] lists what each
download answer sent (bytes written, range, state); answers name their entry in the header
X-Demo-Download, readable at /_demo/downloads/ID.
)";

// The value of a numeric option, or none when it is not a whole number in [min, max].
std::optional<long> number(std::string_view text, long min, long max) {
    try {
        size_t used = 0;
        const long value = std::stol(std::string(text), &used);
        if (used == text.size() && value >= min && value <= max)
            return value;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// Reads the arguments into `options`; false (after saying why) when they are not usable.
bool parse(const std::vector<std::string_view>& args, DemoServicesOptions& options, bool& help) {
    for (size_t i = 0; i < args.size(); ++i) {
        const auto arg = args[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        }
        if (i + 1 >= args.size()) {
            std::cerr << "ostrel-demo-services: unknown option or missing value: " << arg << "\n";
            return false;
        }
        const auto value = args[++i];
        const auto bad = [&] {
            std::cerr << "ostrel-demo-services: " << arg << " does not accept \"" << value << "\"\n";
            return false;
        };
        if (arg == "--state") {
            options.stateFolder = std::filesystem::absolute(std::string(value));
        } else if (arg == "--hub-folder") {
            options.hubFolder = std::filesystem::absolute(std::string(value));
        } else if (arg == "--catalogue") {
            options.catalogueFile = std::string(value);
        } else if (arg == "--port") {
            const auto port = number(value, 0, 65535);
            if (!port)
                return bad();
            options.port = static_cast<uint16_t>(*port);
        } else if (arg == "--token-lifetime" || arg == "--settle-seconds") {
            const auto seconds = number(value, arg == "--token-lifetime" ? 1 : 0, 7 * 24 * 3600);
            if (!seconds)
                return bad();
            (arg == "--token-lifetime" ? options.tokenLifetime : options.settleDelay) = std::chrono::seconds(*seconds);
        } else if (arg == "--page-size") {
            const auto size = number(value, 1, 1000);
            if (!size)
                return bad();
            options.pageSize = static_cast<size_t>(*size);
        } else {
            std::cerr << "ostrel-demo-services: unknown option " << arg << " (see --help)\n";
            return false;
        }
    }
    return true;
}

void announce(const DemoServices& services, const DemoServicesOptions& options) {
    const auto& hosts = services.hosts();
    options.log("demo services on 127.0.0.1:" + std::to_string(services.port()) + " for " + hosts.store + ", " +
                hosts.assets + ", " + hosts.identity + ", " + hosts.web + " and " + hosts.downloads);
    options.log("store access tokens last " + std::to_string(options.tokenLifetime.count()) +
                " s; sign in as demo@ostrel.test with the password \"demo\"");
    // The ready line stays last and keeps its shape: scripts read the configuration's path from it.
    std::cout << "ostrel-demo-services code-signing anchors: " << services.codeSigningRoot().string() << "\n"
              << "ostrel-demo-services ready; config: " << services.configFile().string() << std::endl;
}

} // namespace

int main(int argc, char** argv) {
    DemoServicesOptions options{.stateFolder = DemoServices::defaultStateFolder(),
                                .catalogueFile = OSTREL_DEMO_CATALOGUE};
    bool help = false;
    if (ostrel::HubFolderSwap::isHubBuild(OSTREL_DEMO_HUB_PREFIX))
        options.hubFolder = OSTREL_DEMO_HUB_PREFIX;
    if (!parse(std::vector<std::string_view>(argv + 1, argv + argc), options, help))
        return 2;
    if (help) {
        std::string text = usage;
        const std::string placeholder = "{state}";
        text.replace(text.find(placeholder), placeholder.size(), DemoServices::defaultStateFolder().string());
        const std::string prefix = "{prefix}";
        text.replace(text.find(prefix), prefix.size(), OSTREL_DEMO_HUB_PREFIX);
        std::cout << text;
        return 0;
    }
    // Signals are taken by sigwait below, never by a handler on a server thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    try {
        DemoServices services(options);
        services.start();
        announce(services, options);
        int received = 0;
        sigwait(&stopSignals, &received);
        options.log(std::string("stopping on ") + (received == SIGINT ? "SIGINT" : "SIGTERM"));
        services.stop();
        options.log("stopped");
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "ostrel-demo-services: " << e.what() << "\n";
        return 1;
    }
}
