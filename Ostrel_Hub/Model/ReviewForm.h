#pragma once

#include "Services/Review.h"
#include "Services/ReviewDraft.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace ostrel::hub {

// The review sheet's draft: the rating and texts being typed, what posting them said, and
// whether the sheet is open. A failed post keeps the draft so nothing typed is lost.
class ReviewForm : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString productId READ productId NOTIFY opened)
    Q_PROPERTY(bool open READ isOpen WRITE setOpen NOTIFY openChanged)
    Q_PROPERTY(bool editing READ editing NOTIFY opened)
    Q_PROPERTY(int rating READ rating WRITE setRating NOTIFY draftChanged)
    Q_PROPERTY(QString ratingLabel READ ratingLabel NOTIFY draftChanged)
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY draftChanged)
    Q_PROPERTY(QString body READ body WRITE setBody NOTIFY draftChanged)
    Q_PROPERTY(QString displayName READ displayName WRITE setDisplayName NOTIFY draftChanged)
    Q_PROPERTY(QString failure READ failure NOTIFY stateChanged)
    Q_PROPERTY(bool posting READ posting NOTIFY stateChanged)

public:
    // Posts a draft; throws ReviewFailure (or another error) when it is not saved.
    using Poster = std::function<QCoro::Task<>(ReviewDraft)>;

    explicit ReviewForm(Poster poster, QObject* parent = nullptr);

    // Opens the sheet for a product, filled from the user's existing review when there is one.
    void begin(const QString& productId, const std::optional<Review>& existing);
    // Checks and posts the draft; on success the sheet closes, on failure `failure` says why.
    Q_INVOKABLE void post();
    QCoro::Task<> submit();

    QString productId() const { return productId_; }
    bool isOpen() const { return open_; }
    void setOpen(bool open);
    bool editing() const { return editing_; }
    int rating() const { return rating_; }
    void setRating(int rating);
    // "Poor" to "Excellent"; "Choose a rating" before one is chosen.
    QString ratingLabel() const;
    QString title() const { return title_; }
    void setTitle(const QString& title);
    QString body() const { return body_; }
    void setBody(const QString& body);
    QString displayName() const { return displayName_; }
    void setDisplayName(const QString& name);
    QString failure() const { return failure_; }
    bool posting() const { return posting_; }
    ReviewDraft draft() const;

signals:
    void opened();
    void openChanged();
    void draftChanged();
    void stateChanged();

private:
    template <class T>
    void setField(T& field, const T& value);
    void setFailure(const QString& failure);
    void setPosting(bool posting);

    Poster poster_;
    QString productId_;
    bool open_ = false;
    bool editing_ = false;
    int rating_ = 0;
    QString title_;
    QString body_;
    QString displayName_;
    QString failure_;
    bool posting_ = false;
};

} // namespace ostrel::hub
