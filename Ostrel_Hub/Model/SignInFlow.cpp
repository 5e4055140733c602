#include "Model/SignInFlow.h"

#include "Model/AccountText.h"
#include "Model/AppModel.h"
#include "Model/FailureSentence.h"
#include "Model/Worker.h"
#include "Model/Workspace.h"
#include "Services/LoopbackReceiver.h"
#include "Services/MoonbaseError.h"
#include "Util/Log.h"

#include <QGuiApplication>
#include <QLocale>
#include <QPointer>
#include <QWindow>

namespace ostrel::hub {
namespace {

const std::string generalFailure = "Ostrel Hub could not finish that. The log under com.ostrel.hub has the details.";

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

// The sentence a form shows for a failure; none for a sign-in the user stopped.
QString sentenceFor(const std::exception_ptr& failure, Log::Category category) {
    try {
        std::rethrow_exception(failure);
    } catch (const Cancelled&) {
        return {};
    } catch (...) {
        return qt(failureSentence(std::current_exception(), category, generalFailure));
    }
}

// The identity service turned the code down, as opposed to not being reachable.
bool isRejection(const MoonbaseError& error) {
    using Kind = MoonbaseError::Kind;
    const auto status = error.payload().status;
    return error.kind() == Kind::invalidCredentials || error.kind() == Kind::forbidden ||
           error.kind() == Kind::notFound || (error.kind() == Kind::server && status >= 400 && status < 500);
}

// The hub's own windows come to the front once the browser is done with the user.
void bringToFront() {
    if (qGuiApp == nullptr)
        return;
    for (auto* window : QGuiApplication::topLevelWindows())
        if (window->isVisible() && window->transientParent() == nullptr) {
            window->raise();
            window->requestActivate();
        }
}

} // namespace

SignInFlow::SignInFlow(AppModel& model, Opener openInBrowser, std::chrono::milliseconds browserWait)
    : QObject(&model), model_(model), opener_(std::move(openInBrowser)), browserWait_(browserWait),
      devices_(std::make_unique<RowListModel>(
          QList<QByteArray>{"sessionId", "label", "lastActive", "iconName", "isCurrent"}, this)),
      purchases_(std::make_unique<RowListModel>(
          QList<QByteArray>{"purchaseId", "productId", "productName", "date", "status", "licensee", "gifted"}, this)) {
    connect(&model_, &AppModel::accountChanged, this, &SignInFlow::rebuildLists);
    connect(&model_, &AppModel::storefrontChanged, this, &SignInFlow::rebuildLists);
    connect(&model_, &AppModel::signInChanged, this, &SignInFlow::sheetChanged);
}

SignInFlow::~SignInFlow() {
    // A browser wait holds a Kit thread for minutes: it ends with the model.
    browserStop_.request_stop();
}

QCoro::Task<> SignInFlow::signInToStore(QString email, QString password) {
    QPointer self(this);
    auto services = model_.services_;
    auto signingIn = onWorker([services, email = email.toStdString(), password = password.toStdString()] {
        return services->client.signIn(email, password);
    });
    auto user = co_await std::move(signingIn);
    if (!self)
        co_return;
    const QString shown = user.email.empty() ? email : qt(user.email);
    auto connecting = connectedToStore(std::move(user), "Store account connected: " + shown + ".");
    co_await std::move(connecting);
}

QCoro::Task<> SignInFlow::createStoreAccount(QString name, QString email, QString password, bool newsletter) {
    QPointer self(this);
    auto services = model_.services_;
    auto signingUp =
        onWorker([services, name = name.toStdString(), email = email.toStdString(), password = password.toStdString(),
                  newsletter] { return services->client.signUp(name, email, password, newsletter); });
    auto user = co_await std::move(signingUp);
    if (!self)
        co_return;
    const QString shown = user.email.empty() ? email : qt(user.email);
    auto connecting = connectedToStore(std::move(user), "Store account created for " + shown +
                                                            ". Moonbase has emailed a link to confirm the address.");
    co_await std::move(connecting);
}

// The account is connected: the sheet closes, the library follows, and an install that waited
// for the sign-in starts by itself.
QCoro::Task<> SignInFlow::connectedToStore(User user, QString banner) {
    QPointer self(this);
    model_.setStoreAccount(std::move(user), {});
    model_.setShowSignIn(false);
    model_.flash(Banner::Tone::success, banner);
    auto refreshing = model_.refreshAll();
    co_await std::move(refreshing);
    if (self)
        resumePendingInstall();
}

void SignInFlow::resumePendingInstall() {
    if (auto pending = std::exchange(model_.pendingInstall_, std::nullopt))
        model_.install(pending->product, pending->download, false);
}

QCoro::Task<> SignInFlow::forgotPassword(QString email) {
    QPointer self(this);
    auto services = model_.services_;
    auto asking = onWorker([services, email = email.toStdString()] { services->client.forgotPassword(email); });
    co_await std::move(asking);
    if (!self)
        co_return;
    resetSent_ = true;
    emit formChanged();
}

QCoro::Task<> SignInFlow::disconnectStore() {
    QPointer self(this);
    auto services = model_.services_;
    auto signingOut = onWorker([services] { services->client.signOut(); });
    co_await std::move(signingOut);
    if (!self)
        co_return;
    // A pending install stays: it starts once an account is connected again.
    model_.setStoreAccount(std::nullopt, {});
    model_.flash(Banner::Tone::info,
                 QStringLiteral("Store account disconnected. Its session was removed from the keychain."));
}

QCoro::Task<> SignInFlow::signInWithProvider(OstrelIDProvider provider) {
    QPointer self(this);
    auto services = model_.services_;
    // A new receiver for every attempt, and a stop of its own for "Stop waiting".
    browserStop_.request_stop();
    browserStop_ = std::stop_source();
    const std::stop_token stop = browserStop_.get_token();
    auto listening = onWorker([] {
        auto receiver = std::make_shared<LoopbackReceiver>();
        const auto port = receiver->start();
        return std::pair(receiver, port);
    });
    auto [receiver, port] = co_await std::move(listening);
    if (!self)
        co_return;
    const auto address = services->ostrelID.providerURL(provider, receiver->state(), port, receiver->challenge());
    if (stop.stop_requested())
        throw Cancelled();
    if (!openInBrowser(QUrl(qt(address.text()))))
        throw Error("No web browser could be opened for the sign-in. Use an emailed code instead.");
    setWaiting(true);
    try {
        auto waiting = onWorker([receiver, stop, wait = browserWait_] { return receiver->wait(wait, stop); });
        auto callback = co_await std::move(waiting);
        auto signingIn = onWorker([services, receiver, code = callback.code] {
            services->ostrelID.exchange(code, receiver->verifier());
            return services->ostrelID.profile();
        });
        auto profile = co_await std::move(signingIn);
        if (!self)
            co_return;
        setWaiting(false);
        model_.state_.ostrelProfile = std::move(profile);
        emit model_.accountChanged();
        model_.rebuildLists();
    } catch (...) {
        if (self)
            setWaiting(false);
        throw;
    }
    bringToFront();
    auto finishing = finishOstrelSignIn();
    co_await std::move(finishing);
}

QCoro::Task<> SignInFlow::requestCode(QString email) {
    QPointer self(this);
    auto services = model_.services_;
    auto asking = onWorker([services, email = email.toStdString()] { services->ostrelID.requestCode(email); });
    co_await std::move(asking);
    if (!self)
        co_return;
    codeEmail_ = email;
    emit formChanged();
}

QCoro::Task<> SignInFlow::completeCode(QString email, QString code) {
    QPointer self(this);
    auto services = model_.services_;
    auto completing = onWorker([services, email = email.toStdString(), code = code.toStdString()] {
        try {
            return services->ostrelID.completeCode(email, code);
        } catch (const MoonbaseError& error) {
            if (isRejection(error))
                throw Error(codeRejectedText.toStdString());
            throw;
        }
    });
    auto profile = co_await std::move(completing);
    if (!self)
        co_return;
    browserStop_.request_stop(); // a browser attempt still open has nothing left to do
    model_.state_.ostrelProfile = std::move(profile);
    emit model_.accountChanged();
    model_.rebuildLists();
    auto finishing = finishOstrelSignIn();
    co_await std::move(finishing);
}

QCoro::Task<> SignInFlow::finishOstrelSignIn() {
    QPointer self(this);
    // A sheet opened for a purchase or an install still needs the store account.
    if (model_.signInPurpose() == AppModel::SignInPurpose::general)
        model_.setShowSignIn(false);
    const auto& profile = model_.state_.ostrelProfile;
    model_.flash(Banner::Tone::success,
                 "Signed in with Ostrel ID as " + (profile ? qt(profile->user.email) : QStringLiteral("you")) + ".");
    auto refreshing = model_.refreshAll();
    co_await std::move(refreshing);
    if (!self)
        co_return;
    if (!model_.storeConnected() && model_.ownedProducts()->count() > 0)
        model_.flash(
            Banner::Tone::info,
            QStringLiteral("Your Ostrel ID shows what you own. Connect your store account once to download it."));
}

QCoro::Task<> SignInFlow::signOutOfOstrelID() {
    QPointer self(this);
    auto services = model_.services_;
    auto signingOut = onWorker([services] { services->ostrelID.signOut(); });
    co_await std::move(signingOut);
    if (!self)
        co_return;
    model_.state_.ostrelProfile.reset();
    model_.ostrelSessions_.clear();
    model_.ostrelPurchases_.clear();
    emit model_.accountChanged();
    model_.rebuildLists();
    model_.flash(Banner::Tone::info, QStringLiteral("Signed out of Ostrel ID."));
}

QCoro::Task<> SignInFlow::revokeOstrelSession(OstrelIDSession session) {
    QPointer self(this);
    auto services = model_.services_;
    try {
        auto revoking = onWorker([services, id = session.id] {
            services->ostrelID.revokeSession(id);
            return services->ostrelID.sessions();
        });
        auto sessions = co_await std::move(revoking);
        if (!self)
            co_return;
        model_.ostrelSessions_ = std::move(sessions);
        emit model_.accountChanged();
        model_.flash(Banner::Tone::success, "Signed out " + qt(session.label) + ".");
    } catch (...) {
        if (self)
            model_.report(std::current_exception());
    }
}

QCoro::Task<> SignInFlow::runForm(Form form, QCoro::Task<> work) {
    QPointer self(this);
    std::exception_ptr failure;
    try {
        co_await std::move(work);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    --running_;
    if (failure)
        setError(form, sentenceFor(failure, form == Form::store ? Log::Category::store : Log::Category::identity));
    emit formChanged();
}

// Marks a form's work as running before its coroutine starts: the coroutine runs up to its
// first wait at once.
void SignInFlow::begin(Form form) {
    ++running_;
    setError(form, {});
    emit formChanged();
}

void SignInFlow::submitStoreSignIn(const QString& email, const QString& password) {
    begin(Form::store);
    runForm(Form::store, signInToStore(email.trimmed(), password));
}

void SignInFlow::submitSignUp(const QString& name, const QString& email, const QString& password, bool newsletter) {
    begin(Form::store);
    runForm(Form::store, createStoreAccount(name.trimmed(), email.trimmed(), password, newsletter));
}

void SignInFlow::submitForgotPassword(const QString& email) {
    begin(Form::store);
    runForm(Form::store, forgotPassword(email.trimmed()));
}

void SignInFlow::continueWith(const QString& providerId) {
    const auto provider = ostrelIDProviderFromId(providerId.toStdString());
    if (!provider)
        return;
    begin(Form::ostrel);
    runForm(Form::ostrel, signInWithProvider(*provider));
}

void SignInFlow::stopWaiting() {
    browserStop_.request_stop();
}

void SignInFlow::emailMeACode(const QString& email) {
    begin(Form::ostrel);
    runForm(Form::ostrel, requestCode(email.trimmed()));
}

void SignInFlow::submitCode(const QString& code) {
    begin(Form::ostrel);
    runForm(Form::ostrel, completeCode(codeEmail_, code));
}

void SignInFlow::useDifferentEmail() {
    codeEmail_.clear();
    ostrelError_.clear();
    emit formChanged();
}

void SignInFlow::disconnect() {
    disconnectStore();
}

void SignInFlow::signOut() {
    signOutOfOstrelID();
}

void SignInFlow::signOutDevice(const QString& sessionId) {
    const auto& sessions = model_.ostrelSessions();
    const auto found = std::find_if(sessions.begin(), sessions.end(),
                                    [&](const OstrelIDSession& session) { return qt(session.id) == sessionId; });
    if (found != sessions.end())
        revokeOstrelSession(*found);
}

void SignInFlow::resetForms() {
    browserStop_.request_stop();
    storeError_.clear();
    ostrelError_.clear();
    resetSent_ = false;
    codeEmail_.clear();
    emit formChanged();
}

// A dismissed sheet forgets its forms and stops waiting for the browser.
void SignInFlow::sheetChanged() {
    if (!model_.showSignIn())
        resetForms();
    emit formChanged(); // the purpose may have changed
}

void SignInFlow::open() {
    model_.openSignIn(AppModel::SignInPurpose::general);
}

void SignInFlow::openToConnect(const QString& reason) {
    model_.openSignIn(AppModel::SignInPurpose::connectStore, reason);
}

bool SignInFlow::connectingStore() const {
    return model_.signInPurpose() == AppModel::SignInPurpose::connectStore;
}

void SignInFlow::setError(Form form, const QString& text) {
    (form == Form::store ? storeError_ : ostrelError_) = text;
    if (!text.isEmpty() && form == Form::store)
        resetSent_ = false;
}

void SignInFlow::setWaiting(bool waiting) {
    if (waiting == waitingForBrowser_)
        return;
    waitingForBrowser_ = waiting;
    emit formChanged();
}

bool SignInFlow::openInBrowser(const QUrl& url) const {
    return opener_ ? opener_(url) : Workspace::openWithDesktop(url);
}

void SignInFlow::rebuildLists() {
    const auto& state = model_.state();
    devices_->setRows(AccountText::deviceRows(model_.ostrelSessions(), QDateTime::currentDateTimeUtc()));
    purchases_->setRows(AccountText::purchaseRows(model_.ostrelPurchases(), state, QLocale()));
    emit accountChanged();
}

QVariantList SignInFlow::providers() const {
    QVariantList list;
    for (const auto provider : allOstrelIDProviders)
        list << QVariantMap{{QStringLiteral("id"), qt(std::string(id(provider)))},
                            {QStringLiteral("title"), qt(std::string(title(provider)))}};
    return list;
}

QString SignInFlow::signsInWith() const {
    const auto& profile = model_.state().ostrelProfile;
    return profile ? AccountText::signsInWith(*profile) : QString();
}

QUrl SignInFlow::manageAccountUrl() const {
    return QUrl(QStringLiteral("https://") + qt(model_.services().config.identityApiHost) + QStringLiteral("/account"));
}

QUrl SignInFlow::storeUrl() const {
    return QUrl(QStringLiteral("https://") + qt(model_.services().config.storeApiHost));
}

QUrl SignInFlow::termsUrl() const {
    return storeUrl().resolved(QUrl(QStringLiteral("/terms-of-use")));
}

QUrl SignInFlow::privacyUrl() const {
    return storeUrl().resolved(QUrl(QStringLiteral("/privacy-policy")));
}

} // namespace ostrel::hub
