#pragma once

// The demo services in this process with their log kept, so that a test can read what the
// identity service would have mailed.
#include "DemoServices.h"
#include "Services/ServiceConfig.h"
#include "TempDir.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

namespace ostrel::hub::test_support {

struct LoggingDemo {
    test::TempDir dir;
    std::mutex lock;
    std::vector<std::string> lines; // guarded by lock
    demo::DemoServices services{demo::DemoServicesOptions{.stateFolder = dir / "state",
                                                          .catalogueFile = OSTREL_DEMO_CATALOGUE,
                                                          .settleDelay = std::chrono::seconds(0),
                                                          .log = [this](const std::string& line) {
                                                              const std::lock_guard guard(lock);
                                                              lines.push_back(line);
                                                          }}};
    ServiceConfig config = (services.start(), ServiceConfig::load(services.configFile()));

    // The last code the identity service mailed to `email`; empty when none was.
    std::string codeFor(const std::string& email) {
        const std::lock_guard guard(lock);
        const std::regex mailed("code for " + std::regex_replace(email, std::regex("\\."), "\\.") + ": (\\d{6})");
        std::string code;
        for (const auto& line : lines)
            if (std::smatch match; std::regex_search(line, match, mailed))
                code = match[1];
        return code;
    }
    bool logged(const std::string& part) {
        const std::lock_guard guard(lock);
        return std::any_of(lines.begin(), lines.end(), [&](const auto& line) { return line.find(part) != line.npos; });
    }
};

} // namespace ostrel::hub::test_support
