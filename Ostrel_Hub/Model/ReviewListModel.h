#pragma once

#include "Services/Review.h"

#include <QAbstractListModel>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <optional>
#include <vector>

namespace ostrel::hub {

// One review as a card shows it.
struct ReviewRow {
    QString reviewId{};
    int rating = 0;
    QString title{};
    QString body{};
    QString author{};   // the name shown, "Ostrel customer" when the review has none
    QString dateText{}; // "" when the review has no usable date
    bool edited = false;
    bool verifiedPurchase = false;
    bool hidden = false; // waiting for a moderator

    static ReviewRow from(const Review& review);
    QVariantMap toMap() const;
    bool operator==(const ReviewRow&) const = default;
};

// One product's ratings and reviews for the screens: the loaded reviews as rows (the user's own
// review is shown apart, so it is left out of them), the summary in the screens' words, and the
// user's own standing. ProductReviews fills it; QML only reads it.
class ReviewListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(QString productId READ productId CONSTANT)
    Q_PROPERTY(int count READ count NOTIFY changed)
    Q_PROPERTY(bool loaded READ loaded NOTIFY changed)
    Q_PROPERTY(bool loading READ loading NOTIFY changed)
    Q_PROPERTY(bool unavailable READ unavailable NOTIFY changed)
    Q_PROPERTY(bool hasMore READ hasMore NOTIFY changed)
    Q_PROPERTY(int ratingCount READ ratingCount NOTIFY changed)
    Q_PROPERTY(double average READ average NOTIFY changed)
    Q_PROPERTY(QString averageText READ averageText NOTIFY changed)
    Q_PROPERTY(QString ratingCountText READ ratingCountText NOTIFY changed)
    Q_PROPERTY(QVariantList shares READ shares NOTIFY changed)
    Q_PROPERTY(bool eligible READ eligible NOTIFY ownChanged)
    Q_PROPERTY(bool hasOwnReview READ hasOwnReview NOTIFY ownChanged)
    Q_PROPERTY(bool ownPending READ ownPending NOTIFY ownChanged)
    Q_PROPERTY(QVariantMap ownReview READ ownReview NOTIFY ownChanged)

public:
    enum Role {
        ReviewIdRole = Qt::UserRole + 1,
        RatingRole,
        TitleRole,
        BodyRole,
        AuthorRole,
        DateTextRole,
        EditedRole,
        VerifiedPurchaseRole,
        HiddenRole,
    };

    explicit ReviewListModel(QString productId, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QString productId() const { return productId_; }
    int count() const { return static_cast<int>(rows_.size()); }
    const std::vector<ReviewRow>& rows() const { return rows_; }
    bool loaded() const { return page_.has_value(); }
    bool loading() const { return loading_; }
    bool unavailable() const { return unavailable_; }
    bool hasMore() const { return page_ && page_->nextCursor.has_value(); }
    int ratingCount() const;
    double average() const;
    // The average as "%.1f"; "" without ratings.
    QString averageText() const;
    // "1 rating" or "<n> ratings".
    QString ratingCountText() const;
    // The share of ratings with 5, 4, 3, 2 and 1 stars, in that order, for the star bars.
    QVariantList shares() const;
    bool eligible() const { return mine_ && mine_->eligible; }
    bool hasOwnReview() const { return mine_ && mine_->review.has_value(); }
    bool ownPending() const { return hasOwnReview() && mine_->review->hidden.value_or(false); }
    QVariantMap ownReview() const;

    void setPage(const ReviewPage& page);
    void setMine(const std::optional<MyReview>& mine);
    void setLoading(bool loading);
    void setUnavailable(bool unavailable);

signals:
    void changed();
    void ownChanged();

private:
    void rebuildRows();

    const QString productId_;
    std::optional<ReviewPage> page_;
    std::optional<MyReview> mine_;
    std::vector<ReviewRow> rows_;
    bool loading_ = false;
    bool unavailable_ = false;
};

} // namespace ostrel::hub
