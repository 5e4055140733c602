#pragma once

#include "Catalog/CatalogExtras.h"
#include "Model/Banner.h"
#include "Model/BannerList.h"
#include "Model/Cart.h"
#include "Model/Catalog.h"
#include "Model/Checkout.h"
#include "Model/DesktopNotifier.h"
#include "Model/ExtrasListModel.h"
#include "Model/HubServices.h"
#include "Model/HubSettings.h"
#include "Model/IconPalette.h"
#include "Model/InstalledOnDisk.h"
#include "Model/JobQueue.h"
#include "Model/LauncherBadge.h"
#include "Model/ModelEnvironment.h"
#include "Model/Navigation.h"
#include "Model/ProductAction.h"
#include "Model/ProductListModel.h"
#include "Model/ProductReviews.h"
#include "Model/SearchIndex.h"
#include "Model/SectionListModel.h"
#include "Model/SignInFlow.h"
#include "Model/StoreState.h"
#include "Model/Wishlist.h"
#include "Model/Workspace.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>
#include <exception>
#include <map>
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
    Q_PROPERTY(ostrel::hub::IconPalette* palette READ palette CONSTANT)
    // The screens' lists and words.
    Q_PROPERTY(ostrel::hub::SectionListModel* sections READ sections CONSTANT)
    Q_PROPERTY(ProductListModel* featured READ featured CONSTANT)
    Q_PROPERTY(ProductListModel* notOwned READ notOwned CONSTANT)
    Q_PROPERTY(ProductListModel* plugIns READ plugIns CONSTANT)
    Q_PROPERTY(ProductListModel* apps READ apps CONSTANT)
    Q_PROPERTY(ProductListModel* games READ games CONSTANT)
    Q_PROPERTY(ProductListModel* wishlistProducts READ wishlistProducts CONSTANT)
    Q_PROPERTY(ProductListModel* installedProducts READ installedProducts CONSTANT)
    Q_PROPERTY(ProductListModel* library READ library CONSTANT)
    Q_PROPERTY(int libraryFilter READ libraryFilter WRITE setLibraryFilter NOTIFY libraryFilterChanged)
    Q_PROPERTY(QString libraryCountLine READ libraryCountLine NOTIFY libraryChanged)
    Q_PROPERTY(ostrel::hub::ExtrasListModel* freeTools READ freeTools CONSTANT)
    Q_PROPERTY(ostrel::hub::ExtrasListModel* earlyAccess READ earlyAccess CONSTANT)
    Q_PROPERTY(ostrel::hub::ExtrasListModel* searchExtrasResults READ searchExtrasResults CONSTANT)
    Q_PROPERTY(bool extrasLoaded READ extrasLoaded NOTIFY extrasChanged)
    Q_PROPERTY(QString lastCheckedText READ lastCheckedText NOTIFY lastCheckedTextChanged)
    Q_PROPERTY(bool signedIn READ signedIn NOTIFY accountChanged)
    Q_PROPERTY(QString accountName READ accountName NOTIFY accountChanged)
    Q_PROPERTY(ostrel::hub::Cart* cart READ cart CONSTANT)
    Q_PROPERTY(int cartCount READ cartCount NOTIFY cartChanged)
    Q_PROPERTY(QStringList cartIds READ cartIds NOTIFY cartChanged)
    // Cart and checkout: the cart's total in the chosen currency, and the checkout sheet's state.
    Q_PROPERTY(QString cartTotal READ cartTotal NOTIFY cartChanged)
    Q_PROPERTY(ostrel::hub::Checkout* checkout READ checkout CONSTANT)
    // Changes whenever any product's action button may have changed: bind actionState to it.
    Q_PROPERTY(int actionRevision READ actionRevision NOTIFY actionRevisionChanged)
    // Settings' "Prices in": the store's enabled currencies, the current one always among them.
    Q_PROPERTY(QStringList availableCurrencies READ availableCurrencies NOTIFY availableCurrenciesChanged)
    // Sign-in: both accounts' flows, the sheet's forms, devices and purchases; the user's names.
    Q_PROPERTY(ostrel::hub::SignInFlow* signInFlow READ signInFlow CONSTANT)
    Q_PROPERTY(QString displayName READ displayName NOTIFY accountChanged)
    Q_PROPERTY(QString displayEmail READ displayEmail NOTIFY accountChanged)
    // Ratings and reviews: `reviews.list(id)`, `load(id)`, `loadMore(id)`, `write(id)`, `form`.
    Q_PROPERTY(ostrel::hub::ProductReviews* reviews READ reviews CONSTANT)

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
    // Clears the search, then selects the section (a HubSection value, or null for none).
    Q_INVOKABLE void selectSection(const QVariant& section);
    // Return in the search field: the first store product found, else the first extras item.
    Q_INVOKABLE void openFirstMatch();
    // A web page in the default browser.
    Q_INVOKABLE void openUrl(const QUrl& url);

    // The screens' words for one product or extras item.
    Q_INVOKABLE QVariantMap productPage(const QString& productId) const;
    ProductAction action(const QString& productId) const;
    Q_INVOKABLE QVariantMap actionState(const QString& productId) const;
    // Does what the action button says: install, update, resume, open, or add to the cart.
    Q_INVOKABLE void performAction(const QString& productId);
    Q_INVOKABLE QVariantMap libraryRow(const QString& productId) const;
    // "<installed version> to <new version>".
    Q_INVOKABLE QString updateLine(const QString& productId) const;
    Q_INVOKABLE QString releaseNotes(const QString& productId) const;
    Q_INVOKABLE QVariantMap extrasItemPage(const QString& itemId) const;
    Q_INVOKABLE void performExtrasAction(const QString& itemId);
    Q_INVOKABLE QString formatBytes(qint64 bytes) const;

    // The cart: a product with something to buy, each once.
    Q_INVOKABLE void addToCart(const QString& productId);
    Q_INVOKABLE void removeFromCart(const QString& productId);

    // Cart and checkout. A line takes the given variation, else the product's default one;
    // without either nothing is added.
    void addToCart(const StorefrontProduct& product, const std::optional<PricingVariation>& variation);
    QString cartTotal() const { return cart_->total(); }
    // One price in the chosen currency when the map has it, else in the map's first one.
    QString format(double amount, const PricingVariation& variation, const PriceMap& prices) const;
    // Pushes an order for the lines and shows its payment page; failures reach a banner.
    QCoro::Task<> beginCheckout(std::vector<CartLine> lines, bool clearsCart);
    // The order has settled: closes the sheet, empties the cart (for a cart checkout), drops
    // the bought products from the wishlist, says so, and refreshes the library.
    QCoro::Task<> checkoutFinished(CheckoutSession session, Order order);
    // The cart sheet's "Check Out", and a product's price button (a purchase of it alone).
    Q_INVOKABLE void checkOutCart();
    Q_INVOKABLE void buyNow(const QString& productId);
    Checkout* checkout() const { return checkout_.get(); }

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
    IconPalette* palette() const { return palette_.get(); }
    SectionListModel* sections() const { return sections_.get(); }
    ProductListModel* featured() const { return featured_.get(); }
    ProductListModel* notOwned() const { return notOwned_.get(); }
    ProductListModel* plugIns() const { return plugIns_.get(); }
    ProductListModel* apps() const { return apps_.get(); }
    ProductListModel* games() const { return games_.get(); }
    ProductListModel* wishlistProducts() const { return wishlistProducts_.get(); }
    ProductListModel* installedProducts() const { return installedProducts_.get(); }
    ProductListModel* library() const { return library_.get(); }
    int libraryFilter() const { return libraryFilter_; }
    void setLibraryFilter(int filter);
    QString libraryCountLine() const;
    ExtrasListModel* freeTools() const { return freeTools_.get(); }
    ExtrasListModel* earlyAccess() const { return earlyAccess_.get(); }
    ExtrasListModel* searchExtrasResults() const { return searchExtrasResults_.get(); }
    bool extrasLoaded() const { return extras_.has_value(); }
    QString lastCheckedText() const;
    bool signedIn() const { return storeConnected() || ostrelSignedIn(); }
    QString accountName() const;
    Cart* cart() const { return cart_.get(); }
    int cartCount() const { return cart_->count(); }
    QStringList cartIds() const { return cart_->ids(); }
    int actionRevision() const { return actionRevision_; }
    QStringList availableCurrencies() const;
    ProductReviews* reviews() const { return reviews_.get(); }
    // What the disk says about each installed product, by product id.
    const std::map<std::string, InstalledOnDisk>& installedOnDisk() const { return disk_; }
    // Looks at the disk again for the ledger's records (off the GUI thread).
    QCoro::Task<> checkDisk();

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

    // Sign-in: opens the sheet for a purpose (the reason is shown at its top when it connects
    // the store), the flows, and the names the screens show ("Not signed in"; empty e-mail).
    Q_INVOKABLE void openSignIn(ostrel::hub::AppModel::SignInPurpose purpose, const QString& reason = {});
    SignInFlow* signInFlow() const { return signInFlow_.get(); }
    QString displayName() const;
    QString displayEmail() const;

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
    void libraryFilterChanged();
    void libraryChanged();
    void lastCheckedTextChanged();
    void cartChanged();
    void actionRevisionChanged();
    void availableCurrenciesChanged();

private:
    void setUpCheckout();
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
    void rebuildShelves();
    void rebuildExtrasLists();
    std::vector<ExtrasRow> extrasRows(const std::vector<ExtrasItem>& items) const;
    void updateBadges();
    void jobsChanged();
    void actionsMayHaveChanged();
    void setDisk(std::map<std::string, InstalledOnDisk> disk);
    ProductFacts factsFor(const StorefrontProduct& product) const;
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
    std::map<std::string, InstalledOnDisk> disk_;
    int libraryFilter_ = 0;
    int actionRevision_ = 0;

    // Children of the model: QML never takes them over.
    std::unique_ptr<ProductListModel> products_;
    std::unique_ptr<ProductListModel> ownedProducts_;
    std::unique_ptr<ProductListModel> freeProducts_;
    std::unique_ptr<ProductListModel> updatesAvailable_;
    std::unique_ptr<ProductListModel> searchResults_;
    std::unique_ptr<ProductListModel> featured_ = std::make_unique<ProductListModel>(this);
    std::unique_ptr<ProductListModel> notOwned_ = std::make_unique<ProductListModel>(this);
    std::unique_ptr<ProductListModel> plugIns_ = std::make_unique<ProductListModel>(this);
    std::unique_ptr<ProductListModel> apps_ = std::make_unique<ProductListModel>(this);
    std::unique_ptr<ProductListModel> games_ = std::make_unique<ProductListModel>(this);
    std::unique_ptr<ProductListModel> wishlistProducts_ = std::make_unique<ProductListModel>(this);
    std::unique_ptr<ProductListModel> installedProducts_ = std::make_unique<ProductListModel>(this);
    std::unique_ptr<ProductListModel> library_ = std::make_unique<ProductListModel>(this);
    std::unique_ptr<ExtrasListModel> freeTools_ = std::make_unique<ExtrasListModel>(this);
    std::unique_ptr<ExtrasListModel> earlyAccess_ = std::make_unique<ExtrasListModel>(this);
    std::unique_ptr<ExtrasListModel> searchExtrasResults_ = std::make_unique<ExtrasListModel>(this);
    std::unique_ptr<SectionListModel> sections_ = std::make_unique<SectionListModel>(this);
    std::unique_ptr<Cart> cart_ = std::make_unique<Cart>(this);
    std::unique_ptr<Checkout> checkout_;
    QTimer minuteTimer_; // "Checked 5 minutes ago" moves on while the window is open
    std::unique_ptr<BannerList> banners_;
    std::unique_ptr<Navigation> navigation_;
    std::unique_ptr<Wishlist> wishlist_;
    std::unique_ptr<DesktopNotifier> notifier_;
    std::unique_ptr<LauncherBadge> badge_;
    std::unique_ptr<IconPalette> palette_;
    std::unique_ptr<JobQueue> jobs_; // before services_ goes: it waits for its Kit calls
    std::unique_ptr<ProductReviews> reviews_;
    Workspace workspace_;

    // The sign-in flows change the accounts' state; first to go, so their waits end first.
    friend class SignInFlow;
    std::unique_ptr<SignInFlow> signInFlow_ =
        std::make_unique<SignInFlow>(*this, environment_.openInBrowser, environment_.browserSignInWait);
};

} // namespace ostrel::hub
