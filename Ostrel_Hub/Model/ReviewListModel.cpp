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
    : QAbstractListModel(parent), productId_(std::move(productId)) {}

int ReviewListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant ReviewListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ReviewRow& row = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case ReviewIdRole:
        return row.reviewId;
    case RatingRole:
        return row.rating;
    case Qt::DisplayRole:
    case TitleRole:
        return row.title;
    case BodyRole:
        return row.body;
    case AuthorRole:
        return row.author;
    case DateTextRole:
        return row.dateText;
    case EditedRole:
        return row.edited;
    case VerifiedPurchaseRole:
        return row.verifiedPurchase;
    case HiddenRole:
        return row.hidden;
    default:
        return {};
    }
}

QHash<int, QByteArray> ReviewListModel::roleNames() const {
    return {{ReviewIdRole, "reviewId"}, {RatingRole, "rating"},
            {TitleRole, "title"},       {BodyRole, "body"},
            {AuthorRole, "author"},     {DateTextRole, "dateText"},
            {EditedRole, "edited"},     {VerifiedPurchaseRole, "verifiedPurchase"},
            {HiddenRole, "hidden"}};
}

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

// A further page only adds rows at the end; anything else replaces the list.
void ReviewListModel::rebuildRows() {
    std::vector<ReviewRow> rows;
    const auto ownId = hasOwnReview() ? mine_->review->id : std::string();
    if (page_)
        for (const auto& review : page_->reviews)
            if (ownId.empty() || review.id != ownId)
                rows.push_back(ReviewRow::from(review));
    if (rows == rows_)
        return;
    const bool extends = rows.size() > rows_.size() && std::equal(rows_.begin(), rows_.end(), rows.begin());
    if (extends) {
        beginInsertRows({}, count(), static_cast<int>(rows.size()) - 1);
        rows_ = std::move(rows);
        endInsertRows();
    } else {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    emit changed();
}

} // namespace ostrel::hub
