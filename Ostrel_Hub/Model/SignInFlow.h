#pragma once

#include "Model/RowListModel.h"
#include "Services/OstrelIDRecords.h"
#include "Services/User.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>

namespace ostrel::hub {

class AppModel;

// Both accounts' sign-in flows of the app model and the state of the sign-in sheet's forms:
// the store account by password, sign-up and forgotten password; the Ostrel ID by e-mailed code
// or through the browser with the loopback receiver; disconnecting and signing out; the signed-in
// devices and the purchases for the Account screen.
//
// The coroutines throw to their caller with the sentence the form shows; the Q_INVOKABLE form
// actions run them, keep `busy` while they run and put a failure's sentence into the form's
// error. Blocking calls run on the Kit's threads; all state changes happen on the GUI thread.
class SignInFlow : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool busy READ busy NOTIFY formChanged)
    Q_PROPERTY(QString storeError READ storeError NOTIFY formChanged)
    Q_PROPERTY(QString ostrelError READ ostrelError NOTIFY formChanged)
    // "Forgot password" was answered: the reset link is on its way.
    Q_PROPERTY(bool resetSent READ resetSent NOTIFY formChanged)
    // The browser is open on a provider's page and the receiver waits for it.
    Q_PROPERTY(bool waitingForBrowser READ waitingForBrowser NOTIFY formChanged)
    // A code was mailed to `codeEmail`; the form asks for it.
    Q_PROPERTY(bool codeSent READ codeSent NOTIFY formChanged)
    Q_PROPERTY(QString codeEmail READ codeEmail NOTIFY formChanged)
    // The sheet is open because something needs the store account.
    Q_PROPERTY(bool connectingStore READ connectingStore NOTIFY formChanged)
    // [{id, title}] of the browser sign-in providers, in order.
    Q_PROPERTY(QVariantList providers READ providers CONSTANT)
    // Roles sessionId, label, lastActive, iconName, isCurrent.
    Q_PROPERTY(ostrel::hub::RowListModel* devices READ devices CONSTANT)
    // Roles purchaseId, productId, productName, date, status, licensee, gifted.
    Q_PROPERTY(ostrel::hub::RowListModel* purchases READ purchases CONSTANT)
    Q_PROPERTY(QString signsInWith READ signsInWith NOTIFY accountChanged)
    Q_PROPERTY(QUrl manageAccountUrl READ manageAccountUrl CONSTANT)
    Q_PROPERTY(QUrl storeUrl READ storeUrl CONSTANT)
    Q_PROPERTY(QUrl termsUrl READ termsUrl CONSTANT)
    Q_PROPERTY(QUrl privacyUrl READ privacyUrl CONSTANT)

public:
    // Hands an address to the user's browser; false when nothing took it.
    using Opener = std::function<bool(const QUrl&)>;
    static constexpr std::chrono::seconds browserTimeout{300};
    static inline const QString codeRejectedText =
        QStringLiteral("That code did not work. Check it, or ask for a new one.");

    // `openInBrowser` empty: the desktop's default browser.
    SignInFlow(AppModel& model, Opener openInBrowser, std::chrono::milliseconds browserWait);
    ~SignInFlow() override;

    // The flows. Failures are thrown with the sentence the form shows; the model is unchanged.
    QCoro::Task<> signInToStore(QString email, QString password);
    QCoro::Task<> createStoreAccount(QString name, QString email, QString password, bool newsletter);
    QCoro::Task<> forgotPassword(QString email);
    QCoro::Task<> disconnectStore();
    QCoro::Task<> signInWithProvider(OstrelIDProvider provider);
    QCoro::Task<> requestCode(QString email);
    QCoro::Task<> completeCode(QString email, QString code);
    QCoro::Task<> finishOstrelSignIn();
    QCoro::Task<> signOutOfOstrelID();
    // A failure goes to the model's report; the list is then unchanged.
    QCoro::Task<> revokeOstrelSession(OstrelIDSession session);

    // Opens the sheet without a pending need, or to connect the store for `reason`.
    Q_INVOKABLE void open();
    Q_INVOKABLE void openToConnect(const QString& reason);
    // The sheet's and the Account screen's actions.
    Q_INVOKABLE void submitStoreSignIn(const QString& email, const QString& password);
    Q_INVOKABLE void submitSignUp(const QString& name, const QString& email, const QString& password, bool newsletter);
    Q_INVOKABLE void submitForgotPassword(const QString& email);
    Q_INVOKABLE void continueWith(const QString& providerId);
    Q_INVOKABLE void stopWaiting();
    Q_INVOKABLE void emailMeACode(const QString& email);
    Q_INVOKABLE void submitCode(const QString& code);
    Q_INVOKABLE void useDifferentEmail();
    Q_INVOKABLE void disconnect();
    Q_INVOKABLE void signOut();
    Q_INVOKABLE void signOutDevice(const QString& sessionId);
    // Forgets what the forms said (errors, sent code and reset link) and stops a browser wait.
    Q_INVOKABLE void resetForms();

    bool busy() const { return running_ > 0; }
    QString storeError() const { return storeError_; }
    QString ostrelError() const { return ostrelError_; }
    bool resetSent() const { return resetSent_; }
    bool waitingForBrowser() const { return waitingForBrowser_; }
    bool codeSent() const { return !codeEmail_.isEmpty(); }
    QString codeEmail() const { return codeEmail_; }
    bool connectingStore() const;
    QVariantList providers() const;
    RowListModel* devices() const { return devices_.get(); }
    RowListModel* purchases() const { return purchases_.get(); }
    QString signsInWith() const;
    QUrl manageAccountUrl() const;
    QUrl storeUrl() const;
    QUrl termsUrl() const;
    QUrl privacyUrl() const;

signals:
    void formChanged();
    void accountChanged();

private:
    enum class Form { store, ostrel };

    QCoro::Task<> connectedToStore(User user, QString banner);
    QCoro::Task<> runForm(Form form, QCoro::Task<> work);
    void begin(Form form);
    void setError(Form form, const QString& text);
    void setWaiting(bool waiting);
    void resumePendingInstall();
    void rebuildLists();
    void sheetChanged();
    bool openInBrowser(const QUrl& url) const;

    AppModel& model_;
    Opener opener_;
    std::chrono::milliseconds browserWait_;
    std::stop_source browserStop_; // one per browser attempt; requested by "Stop waiting"
    int running_ = 0;
    QString storeError_;
    QString ostrelError_;
    bool resetSent_ = false;
    bool waitingForBrowser_ = false;
    QString codeEmail_;
    std::unique_ptr<RowListModel> devices_;
    std::unique_ptr<RowListModel> purchases_;
};

} // namespace ostrel::hub
