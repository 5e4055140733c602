#pragma once

#include "DemoServices.h"
#include "Services/CurlTransport.h"
#include "Services/ServiceConfig.h"
#include "TempDir.h"

#include <chrono>
#include <string>

namespace ostrel::demo {

// The demo services started in this process with a fresh state folder, quiet and without the
// settle delay, and a transport that reaches their hosts as the hub does.
struct RunningDemo {
    test::TempDir dir;
    DemoServices services{DemoServicesOptions{.stateFolder = dir / "state",
                                              .catalogueFile = OSTREL_DEMO_CATALOGUE,
                                              .settleDelay = std::chrono::seconds(0),
                                              .log = [](const std::string&) {}}};
    ServiceConfig config = (services.start(), ServiceConfig::load(services.configFile()));
    CurlTransport transport{config.pinnedTrust(), CurlTransport::Options::from(config)};
};

} // namespace ostrel::demo
