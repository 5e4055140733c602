#include "Model/ReviewListModel.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <chrono>

namespace ostrel::hub {
namespace {

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

QString shownDate(const Review& review) {
    const auto date = review.date();
    if (!date)
        return {};
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(date->time_since_epoch()).count();
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds).date(), QStringLiteral("d MMM yyyy"));
}

} // namespace

ReviewRow ReviewRow::from(const Review& review) {
    return ReviewRow{.reviewId = qt(review.id),
                     .rating = static_cast<int>(std::clamp<int64_t>(review.rating, 0, 5)),
                     .title = qt(review.title),
                     .body = qt(review.body),
                     .author = review.displayName.empty() ? QStringLiteral("Ostrel customer") : qt(review.displayName),
                     .dateText = shownDate(review),
                     .edited = review.edited.value_or(false),
                     .verifiedPurchase = review.verifiedPurchase,
                     .hidden = review.hidden.value_or(false)};
}

QVariantMap ReviewRow::toMap() const {
    return {{QStringLiteral("reviewId"), reviewId}, {QStringLiteral("rating"), rating},
            {QStringLiteral("title"), title},       {QStringLiteral("body"), body},
            {QStringLiteral("author"), author},     {QStringLiteral("dateText"), dateText},
            {QStringLiteral("edited"), edited},     {QStringLiteral("verifiedPurchase"), verifiedPurchase},
            {QStringLiteral("hidden"), hidden}};
}

ReviewListModel::ReviewListModel(QString productId, QObject* parent)
    : RowListBase(
          {
              {ReviewIdRole, "reviewId", [](const ReviewRow& row) { return QVariant(row.reviewId); }},
              {RatingRole, "rating", [](const ReviewRow& row) { return QVariant(row.rating); }},
              {TitleRole, "title", [](const ReviewRow& row) { return QVariant(row.title); }},
              {BodyRole, "body", [](const ReviewRow& row) { return QVariant(row.body); }},
              {AuthorRole, "author", [](const ReviewRow& row) { return QVariant(row.author); }},
              {DateTextRole, "dateText", [](const ReviewRow& row) { return QVariant(row.dateText); }},
              {EditedRole, "edited", [](const ReviewRow& row) { return QVariant(row.edited); }},
              {VerifiedPurchaseRole, "verifiedPurchase",
               [](const ReviewRow& row) { return QVariant(row.verifiedPurchase); }},
              {HiddenRole, "hidden", [](const ReviewRow& row) { return QVariant(row.hidden); }},
          },
          // A further page only adds rows at the end.
          {.displayRole = TitleRole, .growsAtEnd = true}, parent),
      productId_(std::move(productId)) {}

int ReviewListModel::ratingCount() const {
    return page_ ? static_cast<int>(std::max<int64_t>(page_->summary.count, 0)) : 0;
}

double ReviewListModel::average() const {
    return ratingCount() > 0 ? page_->summary.average.value_or(0.0) : 0.0;
}

QString ReviewListModel::averageText() const {
    return ratingCount() > 0 && page_->summary.average ? QString::number(average(), 'f', 1) : QString();
}

QString ReviewListModel::ratingCountText() const {
    const int n = ratingCount();
    return n == 1 ? QStringLiteral("1 rating") : QString::number(n) + QStringLiteral(" ratings");
}

QVariantList ReviewListModel::shares() const {
    QVariantList list;
    for (int64_t stars = 5; stars >= 1; --stars)
        list.append(page_ ? page_->summary.share(stars) : 0.0);
    return list;
}

QVariantMap ReviewListModel::ownReview() const {
    return hasOwnReview() ? ReviewRow::from(*mine_->review).toMap() : QVariantMap{};
}

void ReviewListModel::setPage(const ReviewPage& page) {
    page_ = page;
    rebuildRows();
    emit changed();
}

void ReviewListModel::setMine(const std::optional<MyReview>& mine) {
    if (mine == mine_)
        return;
    mine_ = mine;
    rebuildRows();
    emit ownChanged();
}

void ReviewListModel::setLoading(bool loading) {
    if (loading == loading_)
        return;
    loading_ = loading;
    emit changed();
}

void ReviewListModel::setUnavailable(bool unavailable) {
    if (unavailable == unavailable_)
        return;
    unavailable_ = unavailable;
    emit changed();
}

void ReviewListModel::rebuildRows() {
    std::vector<ReviewRow> rows;
    const auto ownId = hasOwnReview() ? mine_->review->id : std::string();
    if (page_)
        for (const auto& review : page_->reviews)
            if (ownId.empty() || review.id != ownId)
                rows.push_back(ReviewRow::from(review));
    if (setRows(std::move(rows)))
        emit changed();
}

} // namespace ostrel::hub
