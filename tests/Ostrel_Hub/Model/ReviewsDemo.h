#pragma once

// The demo services with their log kept (the e-mailed sign-in codes are read from it), and
// people other than the hub's user posting reviews through their own identity clients.
#include "DemoServices.h"
#include "Services/CurlTransport.h"
#include "Services/InMemoryTokenPersistence.h"
#include "Services/OstrelIDClient.h"
#include "Services/ServiceConfig.h"
#include "TempDir.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ostrel::hub::test_support {

struct ReviewsDemo {
    test::TempDir dir;
    std::mutex lock;
    std::vector<std::string> lines;
    demo::DemoServices services{demo::DemoServicesOptions{.stateFolder = dir / "state",
                                                          .catalogueFile = OSTREL_DEMO_CATALOGUE,
                                                          .settleDelay = std::chrono::seconds(0),
                                                          .log = [this](const std::string& line) {
                                                              const std::lock_guard guard(lock);
                                                              lines.push_back(line);
                                                          }}};
    ServiceConfig config = (services.start(), ServiceConfig::load(services.configFile()));
    std::shared_ptr<CurlTransport> transport =
        std::make_shared<CurlTransport>(config.pinnedTrust(), CurlTransport::Options::from(config));

    std::string lastCodeFor(const std::string& email) {
        const std::lock_guard guard(lock);
        const std::string marker = "sign-in code for " + email + ": ";
        for (auto line = lines.rbegin(); line != lines.rend(); ++line)
            if (auto at = line->find(marker); at != std::string::npos)
                return line->substr(at + marker.size());
        return {};
    }

    // Signs `client` in to Ostrel ID with the e-mailed code.
    void signIn(OstrelIDClient& client, const std::string& email) {
        client.requestCode(email);
        client.completeCode(email, lastCodeFor(email));
    }

    // Someone else's review of a product they may review, posted through their own client.
    PostedReview postAs(const std::string& email, const std::string& productId, int rating, const std::string& title) {
        OstrelIDClient client(OstrelIDClient::apiBase(config.identityApiHost),
                              OstrelIDClient::signInBase(config.identityApiHost), transport,
                              std::make_shared<InMemoryTokenPersistence>());
        signIn(client, email);
        return client.postReview(
            ReviewDraft{.productId = productId, .rating = rating, .title = title, .body = "Posted by " + email + "."});
    }
};

} // namespace ostrel::hub::test_support
