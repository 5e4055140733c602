#pragma once

#include "RunningDemo.h"
#include "Services/InMemoryTokenPersistence.h"
#include "Services/OstrelIDClient.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ostrel::demo {

// The demo services in this process with their log kept, so that a test can read what the
// services would have mailed, and sign other people in to Ostrel ID through clients of their own.
struct LoggingDemo {
    test::TempDir dir;
    std::mutex lock;
    std::vector<std::string> lines; // guarded by lock
    DemoServices services{inProcessOptions(dir, [this](const std::string& line) {
        const std::lock_guard guard(lock);
        lines.push_back(line);
    })};
    ServiceConfig config = (services.start(), ServiceConfig::load(services.configFile()));
    std::shared_ptr<CurlTransport> transport =
        std::make_shared<CurlTransport>(config.pinnedTrust(), CurlTransport::Options::from(config));

    // The last sign-in code the identity service mailed to `email`; empty when none was.
    std::string codeFor(const std::string& email) {
        const std::lock_guard guard(lock);
        const std::string marker = "sign-in code for " + email + ": ";
        for (auto line = lines.rbegin(); line != lines.rend(); ++line)
            if (auto at = line->find(marker); at != std::string::npos)
                return line->substr(at + marker.size());
        return {};
    }
    bool logged(const std::string& part) {
        const std::lock_guard guard(lock);
        return std::ranges::any_of(lines, [&](const auto& line) { return line.find(part) != line.npos; });
    }

    // Someone else's Ostrel ID client, its session kept in memory.
    std::unique_ptr<OstrelIDClient> identityClient() const {
        return std::make_unique<OstrelIDClient>(OstrelIDClient::apiBase(config.identityApiHost),
                                                OstrelIDClient::signInBase(config.identityApiHost), transport,
                                                std::make_shared<InMemoryTokenPersistence>());
    }
    // Signs `client` in to Ostrel ID with the e-mailed code.
    void signIn(OstrelIDClient& client, const std::string& email) {
        client.requestCode(email);
        client.completeCode(email, codeFor(email));
    }
    // Someone else's review of a product they may review, posted through their own client.
    PostedReview postAs(const std::string& email, const std::string& productId, int rating, const std::string& title) {
        const auto client = identityClient();
        signIn(*client, email);
        return client->postReview(
            ReviewDraft{.productId = productId, .rating = rating, .title = title, .body = "Posted by " + email + "."});
    }
};

} // namespace ostrel::demo
