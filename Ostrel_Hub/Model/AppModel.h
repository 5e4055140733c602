#pragma once

#include "Catalog/CatalogExtras.h"
#include "Model/Banner.h"
#include "Model/BannerList.h"
#include "Model/Catalog.h"
#include "Model/DesktopNotifier.h"
#include "Model/HubServices.h"
#include "Model/HubSettings.h"
#include "Model/JobQueue.h"
#include "Model/LauncherBadge.h"
#include "Model/ModelEnvironment.h"
#include "Model/Navigation.h"
#include "Model/ProductListModel.h"
#include "Model/SearchIndex.h"
#include "Model/StoreState.h"
#include "Model/Wishlist.h"
#include "Model/Workspace.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

namespace ostrel::hub {

// The one object the screens see: the hub's state and every user action. It lives on the GUI
// thread; Kit calls run on the Kit's threads and their results are applied here when the
// awaiting coroutine resumes. Focused parts (jobs, banners, navigation, wishlist, search)
// live in their own objects, reached through the properties below.
class AppModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(bool storefrontIsCached READ storefrontIsCached NOTIFY storefrontChanged)
    Q_PROPERTY(bool hasStorefront READ hasStorefront NOTIFY storefrontChanged)
    Q_PROPERTY(QDateTime lastChecked READ lastChecked NOTIFY lastCheckedChanged)
    Q_PROPERTY(QString currency READ currency WRITE setCurrency NOTIFY currencyChanged)
    Q_PROPERTY(bool autoUpdate READ autoUpdate WRITE setAutoUpdate NOTIFY autoUpdateChanged)
    Q_PROPERTY(bool storeConnected READ storeConnected NOTIFY accountChanged)
    Q_PROPERTY(QString storeUserName READ storeUserName NOTIFY accountChanged)
    Q_PROPERTY(QString storeUserEmail READ storeUserEmail NOTIFY accountChanged)
    Q_PROPERTY(bool ostrelSignedIn READ ostrelSignedIn NOTIFY accountChanged)
    Q_PROPERTY(bool showSignIn READ showSignIn WRITE setShowSignIn NOTIFY signInChanged)
    Q_PROPERTY(SignInPurpose signInPurpose READ signInPurpose NOTIFY signInChanged)
    Q_PROPERTY(QString signInReason READ signInReason NOTIFY signInChanged)
    Q_PROPERTY(int updateCount READ updateCount NOTIFY productsChanged)
    Q_PROPERTY(ProductListModel* products READ products CONSTANT)
    Q_PROPERTY(ProductListModel* ownedProducts READ ownedProducts CONSTANT)
    Q_PROPERTY(ProductListModel* freeProducts READ freeProducts CONSTANT)
    Q_PROPERTY(ProductListModel* updatesAvailable READ updatesAvailable CONSTANT)
    Q_PROPERTY(ProductListModel* searchResults READ searchResults CONSTANT)
    Q_PROPERTY(ostrel::hub::JobQueue* jobs READ jobs CONSTANT)
    Q_PROPERTY(ostrel::hub::BannerList* banners READ banners CONSTANT)
    Q_PROPERTY(ostrel::hub::Navigation* navigation READ navigation CONSTANT)
    Q_PROPERTY(ostrel::hub::Wishlist* wishlist READ wishlist CONSTANT)

public:
    enum class SignInPurpose { general, connectStore };
    Q_ENUM(SignInPurpose)

    explicit AppModel(ModelEnvironment environment, QObject* parent = nullptr);
    ~AppModel() override;

    // Start-up: the welcome banner once, the first refresh, then a refresh every six hours.
    QCoro::Task<> start();
    QCoro::Task<> refreshAll();
    QCoro::Task<> loadStorefront();
    QCoro::Task<> loadStoreAccount();
    QCoro::Task<> loadOstrelID();
    QCoro::Task<> loadExtras();
    QCoro::Task<> loadReleaseNotes(std::vector<std::string> ids);
    // The one way a failure reaches the user.
    void report(const std::exception_ptr& failure);
    void flash(Banner::Tone tone, const QString& text);
    // Posts a desktop notification unless the hub's window is the active one.
    void notifyWhenInactive(const QString& title, const QString& body);

    // For QML: start-up and refresh without awaiting them.
    Q_INVOKABLE void startInBackground();
    Q_INVOKABLE void refresh();

    // Installs, updates and release checks (Downloads and the action buttons).
    Q_INVOKABLE void install(const QString& productId, bool verifyOnly = false);
    void install(const StorefrontProduct& product, const std::optional<Download>& download, bool verifyOnly);
    Q_INVOKABLE void updateAll();
    Q_INVOKABLE void uninstall(const QString& productId);
    Q_INVOKABLE void openApp(const QString& productId);
    Q_INVOKABLE void reveal(const QString& productId);

    // Questions the screens ask about one product.
    Q_INVOKABLE bool owns(const QString& productId) const;
    Q_INVOKABLE bool hasUpdate(const QString& productId) const;
    Q_INVOKABLE QString latestVersion(const QString& productId) const;
    Q_INVOKABLE QString installedVersion(const QString& productId) const;

    // The catalogue of one kind, and the extras feed with its search and install routes.
    StoreState::Products products(ProductKind kind) const;
    std::vector<ExtrasItem> searchExtras(const std::string& query) const;
    const ExtrasItem* extrasItem(std::string_view id) const;
    ExtrasItem::InstallRoute route(const ExtrasItem& item) const;

    // Navigation and wishlist shortcuts for the screens.
    Q_INVOKABLE void show(const QString& productId);
    Q_INVOKABLE void showExtra(const QString& itemId);
    Q_INVOKABLE void goBack();
    Q_INVOKABLE void open(const QUrl& url);
    Q_INVOKABLE void toggleWishlist(const QString& productId);

    bool loading() const { return loadingCount_ > 0; }
    bool storefrontIsCached() const { return storefrontIsCached_; }
    bool hasStorefront() const { return state_.storefront != nullptr; }
    QDateTime lastChecked() const { return lastChecked_; }
    QString currency() const { return currency_; }
    void setCurrency(const QString& code);
    bool autoUpdate() const { return autoUpdate_; }
    void setAutoUpdate(bool on);
    bool storeConnected() const { return state_.storeUser.has_value(); }
    QString storeUserName() const;
    QString storeUserEmail() const;
    bool ostrelSignedIn() const { return state_.ostrelProfile.has_value(); }
    bool showSignIn() const { return showSignIn_; }
    void setShowSignIn(bool shown);
    SignInPurpose signInPurpose() const { return signInPurpose_; }
    QString signInReason() const { return signInReason_; }
    int updateCount() const { return updatesAvailable_->count(); }

    ProductListModel* products() const { return products_.get(); }
    ProductListModel* ownedProducts() const { return ownedProducts_.get(); }
    ProductListModel* freeProducts() const { return freeProducts_.get(); }
    ProductListModel* updatesAvailable() const { return updatesAvailable_.get(); }
    ProductListModel* searchResults() const { return searchResults_.get(); }
    JobQueue* jobs() const { return jobs_.get(); }
    BannerList* banners() const { return banners_.get(); }
    Navigation* navigation() const { return navigation_.get(); }
    Wishlist* wishlist() const { return wishlist_.get(); }

    // The state behind the lists, for the parts of the app written in C++ and for tests.
    const StoreState& state() const { return state_; }
    const std::optional<CatalogExtras>& extras() const { return extras_; }
    const std::vector<OstrelIDSession>& ostrelSessions() const { return ostrelSessions_; }
    const std::vector<OstrelIDPurchase>& ostrelPurchases() const { return ostrelPurchases_; }
    struct PendingInstall {
        StorefrontProduct product;
        std::optional<Download> download;
    };
    const std::optional<PendingInstall>& pendingInstall() const { return pendingInstall_; }
    HubServices& services() { return *services_; }
    // Stops the update loop; the model does no more periodic work.
    void stopUpdateLoop() { loopStop_.request_stop(); }

signals:
    void loadingChanged();
    void storefrontChanged();
    void lastCheckedChanged();
    void currencyChanged();
    void autoUpdateChanged();
    void accountChanged();
    void signInChanged();
    void productsChanged();
    void extrasChanged();

private:
    void restoreFromDisk();
    void setStorefront(std::shared_ptr<const Storefront> storefront, bool cached);
    void setStoreAccount(std::optional<User> user, std::vector<ProductSummary> owned);
    void setInstalled(std::vector<InstallRecord> records);
    void setExtras(std::optional<CatalogExtras> extras);
    void askForStoreSignIn(const QString& reason);
    void chooseCurrency(const Storefront& storefront);
    template <class T>
    void saveSnapshot(const T& value, const std::string& key);
    void afterRefresh();
    void updateDockBadge();
    void rebuildLists();
    void rebuildSearchResults();
    void setLoading(bool starting);
    QCoro::Task<> updateLoop();
    bool applicationIsActive() const;
    ProductRow rowFor(const StorefrontProduct& product) const;
    std::vector<ProductRow> rowsFor(const StoreState::Products& products) const;

    ModelEnvironment environment_;
    std::shared_ptr<HubServices> services_;
    HubSettings settings_;
    StoreState state_;
    std::optional<CatalogExtras> extras_;
    std::vector<OstrelIDSession> ostrelSessions_;
    std::vector<OstrelIDPurchase> ostrelPurchases_;
    std::optional<PendingInstall> pendingInstall_;
    std::unique_ptr<SearchIndex> searchIndex_;
    std::set<std::string> notifiedUpdates_;
    bool storefrontIsCached_ = false;
    int loadingCount_ = 0;
    QDateTime lastChecked_;
    QString currency_;
    bool autoUpdate_ = true;
    bool showSignIn_ = false;
    SignInPurpose signInPurpose_ = SignInPurpose::general;
    QString signInReason_;
    std::stop_source loopStop_;

    // Children of the model: QML never takes them over.
    std::unique_ptr<ProductListModel> products_;
    std::unique_ptr<ProductListModel> ownedProducts_;
    std::unique_ptr<ProductListModel> freeProducts_;
    std::unique_ptr<ProductListModel> updatesAvailable_;
    std::unique_ptr<ProductListModel> searchResults_;
    std::unique_ptr<BannerList> banners_;
    std::unique_ptr<Navigation> navigation_;
    std::unique_ptr<Wishlist> wishlist_;
    std::unique_ptr<DesktopNotifier> notifier_;
    std::unique_ptr<LauncherBadge> badge_;
    std::unique_ptr<JobQueue> jobs_; // before services_ goes: it waits for its Kit calls
    Workspace workspace_;
};

} // namespace ostrel::hub
