#pragma once

#include "Services/Deadline.h"
#include "Services/HTTPTransport.h"
#include "Services/OstrelIDRecords.h"
#include "Services/Review.h"
#include "Services/ReviewDraft.h"
#include "Services/TokenPersistence.h"
#include "Util/Url.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrel {

// The client of the maker's identity service (Ostrel ID): the user's profile, signed-in
// devices, purchases under other addresses, and reviews. The session is one bearer token kept
// through `persistence`; there is no renewal: when the service answers 401 the token is dropped
// and the user signs in again, by e-mailed code or through the browser.
//
// Safe to call from any thread: the token is guarded by a private lock, requests run outside
// it. Only a 2xx answer counts as success (a redirect is never followed), and each operation
// has one deadline for all its requests. Failures are MoonbaseError in Ostrel ID's words,
// logged under Log::Category::identity; TransportError passes through, and a session that
// cannot be saved throws the persistence's error.
class OstrelIDClient {
public:
    // `base` is the identity API ("https://<host>/id"), `authBase` the browser sign-in pages
    // ("https://<host>/auth").
    OstrelIDClient(Url base, Url authBase, std::shared_ptr<HTTPTransport> transport,
                   std::shared_ptr<TokenPersistence> persistence, OperationTiming timing = {});
    OstrelIDClient(const OstrelIDClient&) = delete;
    OstrelIDClient& operator=(const OstrelIDClient&) = delete;

    // The two bases on the identity host.
    static Url apiBase(std::string_view host);
    static Url signInBase(std::string_view host);

    const Url& base() const { return base_; }
    const Url& authBase() const { return authBase_; }

    // Asks the service to e-mail a one-time code to `email`.
    void requestCode(std::string_view email);
    // Signs in with the e-mailed code (white space in it is ignored) and returns the profile.
    OstrelIDProfile completeCode(std::string_view email, std::string_view code);

    // The address to open in the browser for a sign-in through `provider`; the service sends the
    // browser back to the loopback receiver listening on `port`.
    Url providerURL(OstrelIDProvider provider, std::string_view state, uint16_t port, std::string_view challenge) const;
    // Trades the receiver's one-time code and PKCE verifier for a session and keeps it.
    void exchange(std::string_view code, std::string_view verifier);

    OstrelIDProfile profile();
    std::vector<OstrelIDSession> sessions();
    void revokeSession(std::string_view sessionId);
    std::vector<OstrelIDPurchase> purchases();

    // Tells the service (when signed in, whatever it answers), then forgets the session.
    void signOut() noexcept;
    // Drops the token and the stored session without asking the service.
    void forget() noexcept;
    bool isSignedIn();

    // A page of a product's reviews; readable by anyone, so sent without the token.
    ReviewPage reviews(std::string_view product, const std::optional<std::string>& cursor, int64_t limit);
    MyReview myReview(std::string_view product);
    // Creates or replaces the user's review. A draft that breaks a rule fails with
    // MoonbaseError::forbidden carrying the rule's sentence, and nothing is sent.
    PostedReview postReview(const ReviewDraft& draft);

private:
    using QueryItems = std::vector<std::pair<std::string, std::string>>;
    enum class Access { open, signedIn };

    // One request of an operation, sent before its deadline and judged by its status.
    struct Call {
        std::string_view path;
        std::string_view method = "GET";
        std::optional<std::string> body = std::nullopt;
        QueryItems query = {};
        Access access = Access::open;
    };

    std::string send(const Call& call, const Deadline& deadline);
    std::string send(const Call& call) { return send(call, timing_.start()); }
    void checkStatus(const HTTPResponse& response, const Call& call);
    OstrelIDProfile profile(const Deadline& deadline);
    Url address(std::string_view path, const QueryItems& query) const;
    std::optional<std::string> token();
    void adopt(const std::string& token);

    const Url base_;
    const Url authBase_;
    const std::shared_ptr<HTTPTransport> transport_;
    const std::shared_ptr<TokenPersistence> persistence_;
    const OperationTiming timing_;

    std::mutex lock_; // guards the two below and every use of persistence_
    bool loaded_ = false;
    std::optional<std::string> token_;
};

} // namespace ostrel
