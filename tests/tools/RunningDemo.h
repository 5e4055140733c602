#pragma once

#include "DemoServices.h"
#include "Services/CurlTransport.h"
#include "Services/ServiceConfig.h"
#include "TempDir.h"

#include <chrono>
#include <string>
#include <utility>

namespace ostrel::demo {

// Demo services for a test: a fresh state folder below `dir`, no settle delay, lines to `log`.
inline DemoServicesOptions inProcessOptions(const test::TempDir& dir, DemoLog log) {
    return DemoServicesOptions{.stateFolder = dir / "state",
                               .catalogueFile = OSTREL_DEMO_CATALOGUE,
                               .settleDelay = std::chrono::seconds(0),
                               .log = std::move(log)};
}

// The demo services started in this process with a fresh state folder, quiet and without the
// settle delay, and a transport that reaches their hosts as the hub does.
struct RunningDemo {
    test::TempDir dir;
    DemoServices services{inProcessOptions(dir, [](const std::string&) {})};
    ServiceConfig config = (services.start(), ServiceConfig::load(services.configFile()));
    CurlTransport transport{config.pinnedTrust(), CurlTransport::Options::from(config)};
};

} // namespace ostrel::demo
