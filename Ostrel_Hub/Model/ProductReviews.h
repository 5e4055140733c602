#pragma once

#include "Model/Banner.h"
#include "Model/HubServices.h"
#include "Model/ReviewForm.h"
#include "Model/ReviewListModel.h"
#include "Services/Review.h"
#include "Services/ReviewDraft.h"
#include "Util/Error.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>

namespace ostrel::hub {

// A post the review form cannot make, in the words the form shows.
class ReviewFailure : public Error {
public:
    using Error::Error;
};

// How much of a product's reviews is fetched at a time and kept at most.
struct ReviewLimits {
    int64_t pageSize = 10;
    // "More Reviews" stops offering further pages once this many are kept.
    std::size_t maxReviews = 200;
};

// What the reviews need from the rest of the model.
struct ReviewHooks {
    std::function<bool()> signedIn;                   // to the Ostrel ID
    std::function<void()> sessionEnded;               // the identity session is gone
    std::function<void(Banner::Tone, QString)> flash; // a banner
};

// Ratings and reviews of the store's products: pages loaded ten at a time and kept for the
// run, the products whose reviews could not be loaded, the user's own review per product, and
// posting through the review form. A snapshot run's fixture folder replaces the service.
class ProductReviews : public QObject {
    Q_OBJECT
    Q_PROPERTY(ostrel::hub::ReviewForm* form READ form CONSTANT)

public:
    ProductReviews(std::shared_ptr<HubServices> services, std::optional<std::filesystem::path> fixtures,
                   ReviewHooks hooks, ReviewLimits limits = {}, QObject* parent = nullptr);
    ~ProductReviews() override;

    // The product's reviews for the screens; the same object for the whole run.
    Q_INVOKABLE ostrel::hub::ReviewListModel* list(const QString& productId);
    // The first page and the user's own review.
    Q_INVOKABLE void load(const QString& productId);
    // "More Reviews".
    Q_INVOKABLE void loadMore(const QString& productId);
    // Opens the review sheet for the product: "Write a Review" or "Edit Your Review".
    Q_INVOKABLE void write(const QString& productId);

    QCoro::Task<> loadReviews(std::string productId, bool more);
    QCoro::Task<> loadMyReview(std::string productId);
    // Throws ReviewFailure, or the error itself when it is not the service's.
    QCoro::Task<> submitReview(ReviewDraft draft);
    // Forgets the user's own reviews (the Ostrel ID was signed out).
    void forgetOwnReviews();

    ReviewForm* form() const { return form_.get(); }
    const std::map<std::string, ReviewPage>& pages() const { return pages_; }
    const std::set<std::string>& unavailable() const { return unavailable_; }
    const std::map<std::string, MyReview>& mine() const { return mine_; }

private:
    QCoro::Task<std::optional<ReviewPage>> fetch(std::string productId, std::optional<std::string> cursor);
    void store(const std::string& productId, ReviewPage page, bool more);
    void markUnavailable(const std::string& productId);
    ReviewPage bounded(ReviewPage page) const;
    ReviewListModel& listFor(const std::string& productId);
    [[noreturn]] void failWith(std::exception_ptr failure);
    void setMine(const std::string& productId, MyReview mine);

    std::shared_ptr<HubServices> services_;
    std::optional<std::filesystem::path> fixtures_;
    ReviewHooks hooks_;
    ReviewLimits limits_;
    std::map<std::string, ReviewPage> pages_;
    std::set<std::string> unavailable_;
    std::map<std::string, MyReview> mine_;
    std::map<std::string, std::stop_source> loads_; // the page load under way per product
    std::map<std::string, std::unique_ptr<ReviewListModel>> lists_;
    std::unique_ptr<ReviewForm> form_;
};

} // namespace ostrel::hub
