#include "Model/ReviewForm.h"

#include "Model/FailureSentence.h"

#include <QPointer>
#include <algorithm>
#include <array>

namespace ostrel::hub {

ReviewForm::ReviewForm(Poster poster, QObject* parent) : QObject(parent), poster_(std::move(poster)) {}

void ReviewForm::begin(const QString& productId, const std::optional<Review>& existing) {
    productId_ = productId;
    editing_ = existing.has_value();
    rating_ = existing ? static_cast<int>(std::clamp<int64_t>(existing->rating, 0, 5)) : 0;
    title_ = existing ? QString::fromStdString(existing->title) : QString();
    body_ = existing ? QString::fromStdString(existing->body) : QString();
    displayName_ = existing ? QString::fromStdString(existing->displayName) : QString();
    emit opened();
    emit draftChanged();
    setFailure({});
    setOpen(true);
}

void ReviewForm::post() {
    submit(); // runs on its own; the form's properties report how it went
}

QCoro::Task<> ReviewForm::submit() {
    if (posting_)
        co_return;
    const auto draft = this->draft();
    if (const auto problem = draft.problem()) {
        setFailure(QString::fromStdString(*problem));
        co_return;
    }
    QPointer self(this);
    setFailure({});
    setPosting(true);
    QString failure;
    try {
        auto posting = poster_(draft);
        co_await posting;
    } catch (...) {
        failure = QString::fromStdString(failureSentence(std::current_exception(), Log::Category::identity,
                                                         "Your review could not be posted. Try again later."));
    }
    if (!self)
        co_return;
    setPosting(false);
    if (!failure.isEmpty()) {
        setFailure(failure);
        co_return;
    }
    setOpen(false);
}

void ReviewForm::setOpen(bool open) {
    if (open == open_)
        return;
    open_ = open;
    emit openChanged();
}

template <class T>
void ReviewForm::setField(T& field, const T& value) {
    if (field == value)
        return;
    field = value;
    emit draftChanged();
}

void ReviewForm::setRating(int rating) {
    setField(rating_, std::clamp(rating, 0, 5));
}

QString ReviewForm::ratingLabel() const {
    static const std::array<const char*, 6> labels{"Choose a rating", "Poor", "Fair", "Good", "Very good", "Excellent"};
    return QString::fromLatin1(labels[static_cast<std::size_t>(rating_)]);
}

void ReviewForm::setTitle(const QString& title) {
    setField(title_, title);
}

void ReviewForm::setBody(const QString& body) {
    setField(body_, body);
}

void ReviewForm::setDisplayName(const QString& name) {
    setField(displayName_, name);
}

ReviewDraft ReviewForm::draft() const {
    return ReviewDraft{.productId = productId_.toStdString(),
                       .rating = rating_,
                       .title = title_.toStdString(),
                       .body = body_.toStdString(),
                       .displayName =
                           displayName_.isEmpty() ? std::nullopt : std::optional(displayName_.toStdString())};
}

void ReviewForm::setFailure(const QString& failure) {
    if (failure == failure_)
        return;
    failure_ = failure;
    emit stateChanged();
}

void ReviewForm::setPosting(bool posting) {
    if (posting == posting_)
        return;
    posting_ = posting;
    emit stateChanged();
}

} // namespace ostrel::hub
