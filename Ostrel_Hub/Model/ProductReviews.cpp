#include "Model/ProductReviews.h"

#include "Catalog/SnapshotCache.h"
#include "Model/FailureSentence.h"
#include "Model/Worker.h"
#include "Services/MoonbaseError.h"
#include "Util/Log.h"

#include <QPointer>
#include <algorithm>
#include <unordered_set>

namespace ostrel::hub {
namespace {

QString postedSentence(const PostedReview& posted) {
    if (posted.review.hidden.value_or(false))
        return QStringLiteral("Your review is saved. It is waiting for a moderator before it appears.");
    return posted.created ? QStringLiteral("Thanks. Your review is posted.")
                          : QStringLiteral("Your review is updated.");
}

// The sentence of a service's refusal, as the review form shows it.
std::string refusalSentence(const MoonbaseError& error) {
    const auto& detail = error.payload().text;
    if (error.kind() != MoonbaseError::Kind::server)
        return error.what();
    if (error.payload().status == 429)
        return "That is a lot of reviews in a short time. Try again in a little while.";
    if (error.payload().status == 403 && detail.empty())
        return "Reviews are open to people who own or have tried this product.";
    return detail;
}

// A further page adds the reviews the stored page does not have yet, with the new summary and
// cursor: a service that repeats a review across pages still shows it once.
ReviewPage merged(ReviewPage stored, ReviewPage next) {
    std::unordered_set<std::string> known;
    for (const auto& review : stored.reviews)
        known.insert(review.id);
    for (auto& review : next.reviews)
        if (known.insert(review.id).second)
            stored.reviews.push_back(std::move(review));
    stored.summary = std::move(next.summary);
    stored.nextCursor = std::move(next.nextCursor);
    return stored;
}

} // namespace

ProductReviews::ProductReviews(std::shared_ptr<HubServices> services, std::optional<std::filesystem::path> fixtures,
                               ReviewHooks hooks, ReviewLimits limits, QObject* parent)
    : QObject(parent), services_(std::move(services)), fixtures_(std::move(fixtures)), hooks_(std::move(hooks)),
      limits_(limits),
      form_(std::make_unique<ReviewForm>([this](ReviewDraft draft) { return submitReview(std::move(draft)); }, this)) {}

ProductReviews::~ProductReviews() {
    for (auto& [id, load] : loads_)
        load.request_stop();
}

ReviewListModel* ProductReviews::list(const QString& productId) {
    return &listFor(productId.toStdString());
}

ReviewListModel& ProductReviews::listFor(const std::string& productId) {
    auto& list = lists_[productId];
    if (!list)
        list = std::make_unique<ReviewListModel>(QString::fromStdString(productId), this);
    return *list;
}

void ProductReviews::load(const QString& productId) {
    // Each runs on its own; the list reports what they found.
    loadReviews(productId.toStdString(), false);
    loadMyReview(productId.toStdString());
}

void ProductReviews::loadMore(const QString& productId) {
    loadReviews(productId.toStdString(), true);
}

void ProductReviews::write(const QString& productId) {
    const auto own = mine_.find(productId.toStdString());
    form_->begin(productId, own == mine_.end() ? std::nullopt : own->second.review);
}

QCoro::Task<> ProductReviews::loadReviews(std::string productId, bool more) {
    QPointer self(this);
    std::optional<std::string> cursor;
    if (more && !fixtures_) {
        const auto stored = pages_.find(productId);
        // Without a further page, or while a load of this product is under way, there is
        // nothing to ask.
        if (stored == pages_.end() || !stored->second.nextCursor || loads_.contains(productId))
            co_return;
        cursor = stored->second.nextCursor;
    }
    // A first page replaces whatever load of the product was under way.
    if (const auto running = loads_.find(productId); running != loads_.end())
        running->second.request_stop();
    std::stop_source stop;
    loads_.insert_or_assign(productId, stop);
    const auto token = stop.get_token();
    listFor(productId).setLoading(true);
    std::optional<ReviewPage> page;
    bool failed = false;
    try {
        auto fetching = fetch(productId, cursor);
        page = co_await fetching;
    } catch (...) {
        failed = true;
        failureSentence(std::current_exception(), Log::Category::identity, "");
    }
    if (!self || token.stop_requested())
        co_return;
    loads_.erase(productId);
    listFor(productId).setLoading(false);
    if (failed)
        markUnavailable(productId);
    else if (page)
        store(productId, std::move(*page), more && !fixtures_);
}

QCoro::Task<std::optional<ReviewPage>> ProductReviews::fetch(std::string productId, std::optional<std::string> cursor) {
    if (fixtures_) {
        // A snapshot run shows prepared reviews; a missing or unreadable file changes nothing.
        auto reading = onWorker([folder = *fixtures_, productId] {
            return SnapshotCache{folder}.load<ReviewPage>("reviews-" + productId);
        });
        co_return co_await reading;
    }
    auto services = services_;
    const auto limit = limits_.pageSize;
    auto loading = onWorker([services, productId, cursor, limit] {
        return std::optional(services->ostrelID.reviews(productId, cursor, limit));
    });
    co_return co_await loading;
}

void ProductReviews::store(const std::string& productId, ReviewPage page, bool more) {
    if (const auto stored = pages_.find(productId); more && stored != pages_.end())
        page = merged(stored->second, std::move(page));
    page = bounded(std::move(page));
    unavailable_.erase(productId);
    auto& list = listFor(productId);
    list.setUnavailable(false);
    list.setPage(page);
    pages_.insert_or_assign(productId, std::move(page));
}

// Keeps at most maxReviews; a full list offers no further page.
ReviewPage ProductReviews::bounded(ReviewPage page) const {
    if (page.reviews.size() >= limits_.maxReviews) {
        page.reviews.resize(limits_.maxReviews);
        page.nextCursor.reset();
    }
    return page;
}

void ProductReviews::markUnavailable(const std::string& productId) {
    unavailable_.insert(productId);
    listFor(productId).setUnavailable(true);
}

QCoro::Task<> ProductReviews::loadMyReview(std::string productId) {
    if (!hooks_.signedIn || !hooks_.signedIn())
        co_return;
    QPointer self(this);
    auto services = services_;
    try {
        auto loading = onWorker([services, productId] { return services->ostrelID.myReview(productId); });
        auto mine = co_await loading;
        if (self)
            setMine(productId, std::move(mine));
    } catch (...) {
        // The page still shows everyone's reviews; the log has why the user's own is missing.
        failureSentence(std::current_exception(), Log::Category::identity, "");
    }
}

void ProductReviews::setMine(const std::string& productId, MyReview mine) {
    listFor(productId).setMine(mine);
    mine_.insert_or_assign(productId, std::move(mine));
}

void ProductReviews::forgetOwnReviews() {
    mine_.clear();
    for (auto& [id, list] : lists_)
        list->setMine(std::nullopt);
}

QCoro::Task<> ProductReviews::submitReview(ReviewDraft draft) {
    QPointer self(this);
    auto services = services_;
    std::optional<PostedReview> posted;
    std::exception_ptr failure;
    try {
        auto posting = onWorker([services, draft] { return services->ostrelID.postReview(draft); });
        posted = co_await posting;
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (failure)
        failWith(failure);
    const auto& productId = draft.productId;
    const auto previous = mine_.find(productId);
    setMine(productId, MyReview{.eligible = true,
                                .basis = previous == mine_.end() ? std::nullopt : previous->second.basis,
                                .review = posted->review});
    auto reloading = loadReviews(productId, false);
    co_await reloading;
    if (self && hooks_.flash)
        hooks_.flash(Banner::Tone::success, postedSentence(*posted));
}

void ProductReviews::failWith(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const MoonbaseError& error) {
        if (error.kind() == MoonbaseError::Kind::notSignedIn) {
            if (hooks_.sessionEnded)
                hooks_.sessionEnded();
            throw ReviewFailure("Your Ostrel ID session ended. Sign in again to post.");
        }
        throw ReviewFailure(refusalSentence(error));
    }
}

} // namespace ostrel::hub
