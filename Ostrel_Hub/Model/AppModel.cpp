#include "Model/AppModel.h"

#include "Model/AccountText.h"
#include "Model/ByteCount.h"
#include "Model/CurrencyChoices.h"
#include "Model/ExtrasText.h"
#include "Model/FailureSentence.h"
#include "Model/LibraryRowText.h"
#include "Model/PausedJobs.h"
#include "Model/PriceText.h"
#include "Model/ProductPageData.h"
#include "Model/ProductShelves.h"
#include "Model/RelativeTime.h"
#include "Model/UpdateAnnouncement.h"
#include "Model/Worker.h"
#include "Services/MoonbaseError.h"
#include "Util/Log.h"

#include <QCoroTimer>
#include <QGuiApplication>
#include <QLocale>
#include <algorithm>
#include <unordered_set>

namespace ostrel::hub {
namespace {

const QString welcomeText =
    QStringLiteral("Welcome to the Ostrel Hub beta. If anything breaks, Help > Send Beta Feedback tells us.");
const QString sessionEndedText = QStringLiteral("Your store session ended. Sign in again to continue.");
const QString storefrontKey = QStringLiteral("storefront");

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

bool isNotSignedIn(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const MoonbaseError& error) {
        return error.kind() == MoonbaseError::Kind::notSignedIn;
    } catch (...) {
        return false;
    }
}

HubSettings settingsFor(const ModelEnvironment& environment) {
    return environment.settingsFile.isEmpty() ? HubSettings() : HubSettings(environment.settingsFile);
}

} // namespace

AppModel::AppModel(ModelEnvironment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)), services_(std::make_shared<HubServices>(environment_)),
      settings_(settingsFor(environment_)), searchIndex_(std::make_unique<SearchIndex>()),
      products_(std::make_unique<ProductListModel>(this)), ownedProducts_(std::make_unique<ProductListModel>(this)),
      freeProducts_(std::make_unique<ProductListModel>(this)),
      updatesAvailable_(std::make_unique<ProductListModel>(this)),
      searchResults_(std::make_unique<ProductListModel>(this)),
      banners_(std::make_unique<BannerList>(environment_.bannerLifetimes, this)),
      navigation_(std::make_unique<Navigation>(this)), wishlist_(std::make_unique<Wishlist>(settings_, this)),
      notifier_(std::make_unique<DesktopNotifier>(environment_.bus)),
      badge_(std::make_unique<LauncherBadge>(environment_.bus)),
      palette_(std::make_unique<IconPalette>(services_->images, services_->config.hostPolicy())) {
    JobEvents events{
        .flash = [this](Banner::Tone tone, const QString& text) { flash(tone, text); },
        .notifyWhenInactive = [this](const QString& title, const QString& body) { notifyWhenInactive(title, body); },
        .installedChanged =
            [this] {
                setInstalled(services_->ledger->all());
                checkDisk();
            },
        .report = [this](const std::exception_ptr& failure) { report(failure); },
    };
    jobs_ = std::make_unique<JobQueue>(services_->pipeline, services_->installLock, *services_->ledger,
                                       PausedJobs::fileIn(services_->workFolder), std::move(events), this);
    currency_ = settings_.currency();
    autoUpdate_ = settings_.autoUpdate();
    connect(navigation_.get(), &Navigation::searchChanged, this, &AppModel::rebuildSearchResults);
    connect(wishlist_.get(), &Wishlist::idsChanged, this, &AppModel::rebuildLists);
    connect(cart_.get(), &Cart::changed, this, &AppModel::cartChanged);
    setUpCheckout();
    connect(this, &AppModel::extrasChanged, this, &AppModel::rebuildExtrasLists);
    connect(this, &AppModel::lastCheckedChanged, this, &AppModel::lastCheckedTextChanged);
    connect(&minuteTimer_, &QTimer::timeout, this, &AppModel::lastCheckedTextChanged);
    connect(this, &AppModel::storefrontChanged, this, &AppModel::availableCurrenciesChanged);
    connect(this, &AppModel::currencyChanged, this, &AppModel::availableCurrenciesChanged);
    minuteTimer_.start(std::chrono::minutes(1));
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(jobs_.get(), signal, this, &AppModel::jobsChanged);
    connect(jobs_.get(), &QAbstractItemModel::dataChanged, this, &AppModel::jobsChanged);
    connect(jobs_.get(), &QAbstractItemModel::modelReset, this, &AppModel::jobsChanged);
    // Ratings and reviews; a post that finds the identity session gone signs the model out of it.
    reviews_ = std::make_unique<ProductReviews>(
        services_, environment_.fixtures,
        ReviewHooks{.signedIn = [this] { return ostrelSignedIn(); },
                    .sessionEnded =
                        [this] {
                            state_.ostrelProfile.reset();
                            emit accountChanged();
                            rebuildLists();
                        },
                    .flash = [this](Banner::Tone tone, const QString& text) { flash(tone, text); }},
        ReviewLimits{}, this);
    connect(this, &AppModel::accountChanged, reviews_.get(), [this] {
        if (!ostrelSignedIn())
            reviews_->forgetOwnReviews();
    });
    // Opening a product page loads its reviews afresh.
    connect(navigation_.get(), &Navigation::pathChanged, reviews_.get(), [this] {
        const auto path = navigation_->path();
        if (!path.isEmpty() && !path.last().startsWith(Navigation::extraPrefix))
            reviews_->load(path.last());
    });
    state_.installed = services_->ledger->all();
    restoreFromDisk();
    rebuildLists();
}

AppModel::~AppModel() {
    loopStop_.request_stop();
}

// Shows the last good catalogue at once, before any request answers.
void AppModel::restoreFromDisk() {
    if (environment_.cold)
        return;
    const auto& snapshots = services_->snapshots;
    std::optional<CatalogExtras> extras;
    if (environment_.fixtures)
        extras = SnapshotCache{*environment_.fixtures}.load<CatalogExtras>("extras");
    if (!extras && snapshots)
        extras = snapshots->load<CatalogExtras>("extras");
    extras_ = std::move(extras);
    if (!snapshots)
        return;
    if (auto storefront = snapshots->load<Storefront>(storefrontKey.toStdString()))
        setStorefront(std::make_shared<const Storefront>(std::move(*storefront)), true);
}

QCoro::Task<> AppModel::start() {
    QPointer self(this);
    if (!settings_.betaWelcomeShown()) {
        settings_.setBetaWelcomeShown(true);
        flash(Banner::Tone::info, welcomeText);
    }
    auto refreshing = refreshAll();
    co_await refreshing;
    if (!self)
        co_return;
    // The loop lives as long as the model; nobody awaits it.
    updateLoop();
}

void AppModel::startInBackground() {
    start();
}

void AppModel::refresh() {
    refreshAll();
}

QCoro::Task<> AppModel::updateLoop() {
    QPointer self(this);
    const std::stop_token stop = loopStop_.get_token();
    while (true) {
        auto sleeping = QCoro::sleepFor(environment_.refreshInterval);
        co_await sleeping;
        if (!self || stop.stop_requested())
            co_return;
        auto refreshing = refreshAll();
        co_await refreshing;
        if (!self)
            co_return;
    }
}

// Every awaited task is held in a local first: GCC 12 destroys the temporaries of a co_await
// expression twice.
QCoro::Task<> AppModel::refreshAll() {
    QPointer self(this);
    setLoading(true);
    // The four loads run side by side; each handles its own failures.
    auto storefront = loadStorefront();
    auto identity = loadOstrelID();
    auto account = loadStoreAccount();
    auto extras = loadExtras();
    co_await storefront;
    co_await identity;
    co_await account;
    co_await extras;
    if (!self)
        co_return;
    auto services = services_;
    const auto systemRoot = environment_.systemRoot;
    auto reading = onWorker([services, systemRoot] {
        services->ledger->reload();
        auto records = services->ledger->all();
        auto disk = InstalledOnDisk::check(records, systemRoot);
        return std::pair(std::move(records), std::move(disk));
    });
    auto [records, disk] = co_await reading;
    if (!self)
        co_return;
    disk_ = std::move(disk);
    setInstalled(std::move(records));
    lastChecked_ = QDateTime::currentDateTime();
    emit lastCheckedChanged();
    std::vector<std::string> owned;
    for (const auto* product : state_.ownedProducts())
        owned.push_back(product->id);
    auto notes = loadReleaseNotes(std::move(owned));
    co_await notes;
    if (!self)
        co_return;
    afterRefresh();
    setLoading(false);
}

QCoro::Task<> AppModel::loadStorefront() {
    QPointer self(this);
    auto services = services_;
    try {
        auto loading = onWorker([services] { return services->client.storefront(); });
        auto storefront = co_await loading;
        if (!self)
            co_return;
        auto shared = std::make_shared<const Storefront>(std::move(storefront));
        setStorefront(shared, false);
        saveSnapshot(shared, storefrontKey.toStdString());
        chooseCurrency(*shared);
    } catch (...) {
        // A failure while the saved catalogue is on screen stays quiet: the user still has it.
        if (self && !storefrontIsCached_)
            report(std::current_exception());
    }
}

void AppModel::chooseCurrency(const Storefront& storefront) {
    const auto& enabled = storefront.enabledCurrencies;
    if (!enabled || std::find(enabled->begin(), enabled->end(), currency_.toStdString()) != enabled->end())
        return;
    setCurrency(qt(storefront.suggestedCurrency));
}

QCoro::Task<> AppModel::loadStoreAccount() {
    QPointer self(this);
    auto services = services_;
    try {
        auto asking = onWorker([services] { return services->client.isSignedIn(); });
        if (!co_await asking)
            co_return;
        auto loadingUser = onWorker([services] { return services->client.currentUser(); });
        auto user = co_await loadingUser;
        auto loadingOwned = onWorker([services] { return services->client.ownedProducts(); });
        auto owned = co_await loadingOwned;
        if (self && !storefrontIsCached_)
            setStoreAccount(std::move(user), std::move(owned));
    } catch (...) {
        if (!self)
            co_return;
        if (isNotSignedIn(std::current_exception()))
            setStoreAccount(std::nullopt, {});
        else
            report(std::current_exception());
    }
}

QCoro::Task<> AppModel::loadOstrelID() {
    QPointer self(this);
    auto services = services_;
    try {
        auto asking = onWorker([services] { return services->ostrelID.isSignedIn(); });
        if (!co_await asking)
            co_return;
        auto loadingProfile = onWorker([services] { return services->ostrelID.profile(); });
        auto profile = co_await loadingProfile;
        if (!self)
            co_return;
        state_.ostrelProfile = std::move(profile);
        emit accountChanged();
        rebuildLists();
    } catch (...) {
        if (!self)
            co_return;
        if (isNotSignedIn(std::current_exception())) {
            state_.ostrelProfile.reset();
            emit accountChanged();
            rebuildLists();
        } else {
            report(std::current_exception());
        }
        co_return;
    }
    // Devices and purchases are extras of the account page: a failure leaves them empty.
    auto quietly = [](auto call) {
        return [call]() noexcept -> decltype(call()) {
            try {
                return call();
            } catch (...) {
                return {};
            }
        };
    };
    auto sessions = onWorker(quietly([services] { return services->ostrelID.sessions(); }));
    auto purchases = onWorker(quietly([services] { return services->ostrelID.purchases(); }));
    auto sessionList = co_await sessions;
    auto purchaseList = co_await purchases;
    if (!self)
        co_return;
    ostrelSessions_ = std::move(sessionList);
    ostrelPurchases_ = std::move(purchaseList);
    emit accountChanged();
}

QCoro::Task<> AppModel::loadExtras() {
    if (environment_.fixtures)
        co_return;
    QPointer self(this);
    auto services = services_;
    auto fetching = onWorker([services] { return services->extrasClient.fetch(); });
    auto extras = co_await fetching;
    if (!self || !extras)
        co_return;
    saveSnapshot(*extras, "extras");
    setExtras(std::move(extras));
}

QCoro::Task<> AppModel::loadReleaseNotes(std::vector<std::string> ids) {
    QPointer self(this);
    std::erase_if(ids, [&](const std::string& id) { return state_.releaseNotes.contains(id); });
    if (ids.empty())
        co_return;
    auto services = services_;
    std::vector<QCoro::Task<std::optional<ProductSummary>>> fetches;
    for (const auto& id : ids)
        fetches.push_back(onWorker([services, id]() -> std::optional<ProductSummary> {
            try {
                return services->client.product(id);
            } catch (...) {
                return std::nullopt;
            }
        }));
    std::vector<ProductSummary> fetched;
    for (auto& fetch : fetches)
        if (auto summary = co_await fetch)
            fetched.push_back(std::move(*summary));
    if (!self)
        co_return;
    for (auto& summary : fetched)
        state_.releaseNotes[summary.id] = std::move(summary);
    rebuildLists();
}

void AppModel::afterRefresh() {
    updateDockBadge();
    const auto notice =
        UpdateAnnouncement::after(state_.updatesAvailable(), notifiedUpdates_, autoUpdate_, storeConnected());
    if (notice.action == UpdateAnnouncement::Action::updateAll)
        updateAll();
    else if (notice.action == UpdateAnnouncement::Action::notify)
        notifyWhenInactive(qt(notice.title), qt(notice.body));
}

void AppModel::updateDockBadge() {
    badge_->setCount(updateCount());
}

void AppModel::report(const std::exception_ptr& failure) {
    if (isNotSignedIn(failure)) {
        setStoreAccount(std::nullopt, {});
        askForStoreSignIn(sessionEndedText);
        return;
    }
    flash(Banner::Tone::failure,
          qt(failureSentence(failure, Log::Category::launch,
                             "Ostrel Hub could not finish that. The log under com.ostrel.hub has the details.")));
}

void AppModel::flash(Banner::Tone tone, const QString& text) {
    banners_->flash(tone, text);
}

void AppModel::notifyWhenInactive(const QString& title, const QString& body) {
    if (!applicationIsActive())
        auto posting = notifier_->notify(title, body); // posted on its own; nothing waits for it
}

bool AppModel::applicationIsActive() const {
    if (environment_.applicationIsActive)
        return environment_.applicationIsActive();
    return qGuiApp != nullptr && qGuiApp->applicationState() == Qt::ApplicationActive;
}

void AppModel::askForStoreSignIn(const QString& reason) {
    signInPurpose_ = SignInPurpose::connectStore;
    signInReason_ = reason;
    showSignIn_ = true;
    emit signInChanged();
}

void AppModel::setShowSignIn(bool shown) {
    if (shown == showSignIn_)
        return;
    showSignIn_ = shown;
    emit signInChanged();
}

void AppModel::install(const QString& productId, bool verifyOnly) {
    if (const auto* product = state_.storeProduct(productId.toStdString()))
        install(*product, std::nullopt, verifyOnly);
}

void AppModel::install(const StorefrontProduct& product, const std::optional<Download>& download, bool verifyOnly) {
    if (!storeConnected()) {
        pendingInstall_ = PendingInstall{product, download};
        askForStoreSignIn("Downloads come from the Ostrel store. Connect your store account once and " +
                          qt(product.name) + " will start installing.");
        return;
    }
    const auto downloads = product.macDownloads();
    const auto chosen = download ? download : (downloads.empty() ? std::nullopt : std::optional(downloads.front()));
    if (!chosen) {
        flash(Banner::Tone::failure, qt(product.name) + " has no macOS download yet.");
        return;
    }
    jobs_->enqueue(InstallRequest{.productId = product.id,
                                  .productName = product.name,
                                  .version = state_.latestVersion(product).value_or("0"),
                                  .download = *chosen},
                   verifyOnly);
}

void AppModel::updateAll() {
    for (const auto* product : state_.updatesAvailable())
        install(*product, std::nullopt, false);
}

// Each of these runs on its own; the jobs and the workspace say what happened.
void AppModel::uninstall(const QString& productId) {
    auto removing = jobs_->uninstall(productId);
}

void AppModel::openApp(const QString& productId) {
    if (const auto* record = state_.record(productId.toStdString()))
        auto opening = workspace_.openApp(*record);
}

void AppModel::reveal(const QString& productId) {
    if (const auto* record = state_.record(productId.toStdString()))
        auto revealing = workspace_.reveal(*record);
}

bool AppModel::owns(const QString& productId) const {
    return state_.owns(productId.toStdString());
}

bool AppModel::hasUpdate(const QString& productId) const {
    const auto* product = state_.storeProduct(productId.toStdString());
    return product != nullptr && state_.hasUpdate(*product);
}

QString AppModel::latestVersion(const QString& productId) const {
    const auto* product = state_.storeProduct(productId.toStdString());
    return product ? qt(state_.latestVersion(*product).value_or("")) : QString();
}

QString AppModel::installedVersion(const QString& productId) const {
    const auto* record = state_.record(productId.toStdString());
    return record ? qt(record->version) : QString();
}

void AppModel::show(const QString& productId) {
    navigation_->show(productId);
}

void AppModel::open(const QUrl& url) {
    navigation_->open(url);
}

void AppModel::showExtra(const QString& itemId) {
    navigation_->showExtra(itemId);
}

void AppModel::goBack() {
    navigation_->goBack();
}

StoreState::Products AppModel::products(ProductKind kind) const {
    auto all = state_.products();
    std::erase_if(all, [kind](const StorefrontProduct* product) { return Catalog::entry(product->id).kind != kind; });
    return all;
}

std::vector<ExtrasItem> AppModel::searchExtras(const std::string& query) const {
    return extras_ ? SearchIndex::searchExtras(*extras_, query) : std::vector<ExtrasItem>{};
}

const ExtrasItem* AppModel::extrasItem(std::string_view id) const {
    if (!extras_)
        return nullptr;
    const auto& items = extras_->items;
    const auto found = std::find_if(items.begin(), items.end(), [&](const ExtrasItem& item) { return item.id == id; });
    return found == items.end() ? nullptr : &*found;
}

// In the store and downloadable: the storefront has the product and a Mac download of it.
ExtrasItem::InstallRoute AppModel::route(const ExtrasItem& item) const {
    return item.installRoute([this](const std::string& productId) {
        const auto* product = state_.storeProduct(productId);
        return product != nullptr && !product->macDownloads().empty();
    });
}

void AppModel::toggleWishlist(const QString& productId) {
    wishlist_->toggle(productId);
}

void AppModel::setCurrency(const QString& code) {
    if (code == currency_)
        return;
    currency_ = code;
    settings_.setCurrency(code);
    cart_->setPricing(code.toStdString(), QLocale().name().toStdString());
    emit currencyChanged();
    actionsMayHaveChanged(); // a price is the title of a paid product's button
}

void AppModel::setAutoUpdate(bool on) {
    if (on == autoUpdate_)
        return;
    autoUpdate_ = on;
    settings_.setAutoUpdate(on);
    emit autoUpdateChanged();
}

QString AppModel::storeUserName() const {
    return state_.storeUser ? qt(state_.storeUser->name) : QString();
}

QString AppModel::storeUserEmail() const {
    return state_.storeUser ? qt(state_.storeUser->email) : QString();
}

void AppModel::setStorefront(std::shared_ptr<const Storefront> storefront, bool cached) {
    state_.storefront = std::move(storefront);
    storefrontIsCached_ = cached;
    searchIndex_->rebuild(state_.storefront);
    emit storefrontChanged();
    rebuildLists();
}

void AppModel::setStoreAccount(std::optional<User> user, std::vector<ProductSummary> owned) {
    state_.storeUser = std::move(user);
    state_.setStoreOwned(std::move(owned));
    emit accountChanged();
    rebuildLists();
}

void AppModel::setInstalled(std::vector<InstallRecord> records) {
    state_.installed = std::move(records);
    rebuildLists();
    updateDockBadge();
}

void AppModel::setExtras(std::optional<CatalogExtras> extras) {
    extras_ = std::move(extras);
    emit extrasChanged();
}

template <class T>
void AppModel::saveSnapshot(const T& value, const std::string& key) {
    if (!services_->snapshots)
        return;
    // Written off the GUI thread from a copy; a failed save only costs the next start its head start.
    auto snapshots = *services_->snapshots;
    QThreadPool::globalInstance()->start([snapshots, value, key] {
        try {
            if constexpr (std::is_same_v<T, std::shared_ptr<const Storefront>>)
                snapshots.save(*value, key);
            else
                snapshots.save(value, key);
        } catch (const std::exception& error) {
            Log::error(Log::Category::catalog, std::string("snapshot not saved: ") + error.what());
        }
    });
}

ProductRow AppModel::rowFor(const StorefrontProduct& product) const {
    const auto* record = state_.record(product.id);
    return ProductRow{.product = product,
                      .latestVersion = state_.latestVersion(product),
                      .installedVersion = record ? std::optional(record->version) : std::nullopt,
                      .owned = state_.owns(product.id),
                      .hasUpdate = state_.hasUpdate(product)};
}

std::vector<ProductRow> AppModel::rowsFor(const StoreState::Products& products) const {
    std::vector<ProductRow> rows;
    rows.reserve(products.size());
    for (const auto* product : products)
        rows.push_back(rowFor(*product));
    return rows;
}

void AppModel::rebuildLists() {
    const int updatesBefore = updateCount();
    products_->setRows(rowsFor(state_.products()));
    ownedProducts_->setRows(rowsFor(state_.ownedProducts()));
    freeProducts_->setRows(rowsFor(state_.freeProducts()));
    updatesAvailable_->setRows(rowsFor(state_.updatesAvailable()));
    rebuildSearchResults();
    rebuildShelves();
    rebuildExtrasLists();
    if (updatesBefore != updateCount())
        emit productsChanged();
    emit libraryChanged();
    updateBadges();
    actionsMayHaveChanged();
}

void AppModel::rebuildShelves() {
    featured_->setRows(rowsFor(ProductShelves::featured(state_)));
    notOwned_->setRows(rowsFor(ProductShelves::notOwned(state_)));
    plugIns_->setRows(rowsFor(products(ProductKind::plugIn)));
    apps_->setRows(rowsFor(products(ProductKind::app)));
    games_->setRows(rowsFor(products(ProductKind::game)));
    wishlistProducts_->setRows(rowsFor(ProductShelves::wishlisted(state_, wishlist_->ids())));
    installedProducts_->setRows(rowsFor(ProductShelves::installed(state_, disk_)));
    library_->setRows(
        rowsFor(ProductShelves::library(state_, disk_, static_cast<ProductShelves::LibraryFilter>(libraryFilter_))));
}

std::vector<ExtrasRow> AppModel::extrasRows(const std::vector<ExtrasItem>& items) const {
    std::vector<ExtrasRow> rows;
    rows.reserve(items.size());
    for (const auto& item : items)
        rows.push_back(ExtrasText::row(item, route(item)));
    return rows;
}

// The shelves follow the feed, and their routes the storefront.
void AppModel::rebuildExtrasLists() {
    freeTools_->setRows(extrasRows(extras_ ? extras_->freeTools() : std::vector<ExtrasItem>{}));
    earlyAccess_->setRows(extrasRows(extras_ ? extras_->earlyAccess() : std::vector<ExtrasItem>{}));
    searchExtrasResults_->setRows(extrasRows(searchExtras(navigation_->search().toStdString())));
    updateBadges();
}

void AppModel::updateBadges() {
    sections_->setBadge(HubSection::freeTools, freeTools_->count());
    sections_->setBadge(HubSection::earlyAccess, earlyAccess_->count());
    sections_->setBadge(HubSection::updates, updateCount());
    sections_->setBadge(HubSection::wishlist, wishlistProducts_->count());
    const auto jobs = jobs_->jobs();
    sections_->setBadge(HubSection::downloads,
                        static_cast<int>(std::count_if(jobs.begin(), jobs.end(),
                                                       [](const InstallJob* job) { return !job->isFinished(); })));
}

void AppModel::jobsChanged() {
    updateBadges();
    actionsMayHaveChanged();
}

void AppModel::actionsMayHaveChanged() {
    ++actionRevision_;
    emit actionRevisionChanged();
}

void AppModel::setDisk(std::map<std::string, InstalledOnDisk> disk) {
    if (disk == disk_)
        return;
    disk_ = std::move(disk);
    rebuildLists();
}

QCoro::Task<> AppModel::checkDisk() {
    QPointer self(this);
    const auto records = state_.installed;
    const auto systemRoot = environment_.systemRoot;
    auto checking = onWorker([records, systemRoot] { return InstalledOnDisk::check(records, systemRoot); });
    auto disk = co_await checking;
    if (self)
        setDisk(std::move(disk));
}

void AppModel::setLibraryFilter(int filter) {
    if (filter == libraryFilter_ || filter < 0 ||
        filter > static_cast<int>(ProductShelves::LibraryFilter::notInstalled))
        return;
    libraryFilter_ = filter;
    emit libraryFilterChanged();
    rebuildShelves();
}

QString AppModel::libraryCountLine() const {
    return ProductShelves::libraryCountLine(state_, disk_);
}

QString AppModel::lastCheckedText() const {
    return RelativeTime::checkedLine(lastChecked_, QDateTime::currentDateTime());
}

QString AppModel::accountName() const {
    if (state_.storeUser && !state_.storeUser->name.empty())
        return qt(state_.storeUser->name);
    return state_.ostrelProfile ? qt(state_.ostrelProfile->user.email) : QString();
}

void AppModel::selectSection(const QVariant& section) {
    navigation_->setSearch(QString());
    navigation_->setSelectionValue(section);
}

void AppModel::openFirstMatch() {
    const QString product = searchResults_->productIdAt(0);
    const QString item = searchExtrasResults_->count() > 0 ? searchExtrasResults_->rows().front().itemId : QString();
    if (product.isEmpty() && item.isEmpty())
        return;
    navigation_->setSearch(QString());
    if (!product.isEmpty())
        show(product);
    else
        showExtra(item);
}

QStringList AppModel::availableCurrencies() const {
    return currencyChoices(state_.storefront.get(), currency_);
}

void AppModel::openUrl(const QUrl& url) {
    Workspace::openWithDesktop(url);
}

QVariantMap AppModel::productPage(const QString& productId) const {
    const HostPolicy policy = environment_.config.hostPolicy();
    const ProductPageSources sources{
        .state = state_,
        .extras = extras_ ? &*extras_ : nullptr,
        .imagePolicy = policy,
        .currency = currency_.toStdString(),
        .localeName = PriceText::userLocale(),
        .locale = QLocale(),
        .storeWebAddress = QStringLiteral("https://") + qt(environment_.config.storeApiHost),
    };
    return ProductPageData::build(productId.toStdString(), sources);
}

ProductFacts AppModel::factsFor(const StorefrontProduct& product) const {
    const auto* job = jobs_->job(product.id);
    const auto disk = disk_.find(product.id);
    const bool removed = disk != disk_.end() && disk->second.removed;
    return ProductFacts{
        .isFree = product.isFree(),
        .isPurchasable = product.isPurchasable(),
        .owned = state_.owns(product.id),
        .installed = state_.record(product.id) != nullptr && !removed,
        .hasUpdate = state_.hasUpdate(product) && !removed,
        .isApp = Catalog::entry(product.id).kind != ProductKind::plugIn,
        .hasMacDownload = !product.macDownloads().empty(),
        .jobStage = job ? std::optional(job->stageKind()) : std::nullopt,
        .price = PriceText::productPrice(product, currency_.toStdString(), PriceText::userLocale()),
    };
}

ProductAction AppModel::action(const QString& productId) const {
    const auto* product = state_.storeProduct(productId.toStdString());
    return product ? ProductAction::decide(factsFor(*product)) : ProductAction{};
}

QVariantMap AppModel::actionState(const QString& productId) const {
    const ProductAction chosen = action(productId);
    auto* job = jobs_->job(productId);
    const bool showsJob = chosen.kind == ProductAction::Kind::progress || chosen.kind == ProductAction::Kind::resume;
    return {{"kind", chosen.kindName()},
            {"title", chosen.title},
            {"job", QVariant::fromValue(static_cast<QObject*>(showsJob ? job : nullptr))}};
}

void AppModel::performAction(const QString& productId) {
    using Kind = ProductAction::Kind;
    switch (action(productId).kind) {
    case Kind::get:
    case Kind::install:
    case Kind::update:
        install(productId);
        break;
    case Kind::resume:
        jobs_->resume(jobs_->job(productId));
        break;
    case Kind::open:
        openApp(productId);
        break;
    case Kind::buy:
        buyNow(productId);
        break;
    default:
        break;
    }
}

QVariantMap AppModel::libraryRow(const QString& productId) const {
    const auto id = productId.toStdString();
    const auto* product = state_.storeProduct(id);
    if (!product)
        return {};
    const auto* record = state_.record(id);
    const auto disk = disk_.find(id);
    const auto entry = Catalog::entry(id);
    return LibraryRowText::row(LibraryRowText::RowFacts{
        .catalogueFormats = entry.formats,
        .isApp = entry.kind != ProductKind::plugIn,
        .hasMacDownload = !product->macDownloads().empty(),
        .latestVersion = state_.latestVersion(*product),
        .installedVersion = record ? std::optional(record->version) : std::nullopt,
        .disk = disk == disk_.end() ? InstalledOnDisk{} : disk->second,
    });
}

QString AppModel::updateLine(const QString& productId) const {
    return installedVersion(productId) + QStringLiteral(" to ") + latestVersion(productId);
}

QString AppModel::releaseNotes(const QString& productId) const {
    const auto found = state_.releaseNotes.find(productId.toStdString());
    if (found == state_.releaseNotes.end() || !found->second.releaseDescription)
        return {};
    return qt(*found->second.releaseDescription);
}

QVariantMap AppModel::extrasItemPage(const QString& itemId) const {
    const auto* item = extrasItem(itemId.toStdString());
    if (!item)
        return {{"exists", false}};
    const auto itemRoute = route(*item);
    const QString hubTitle =
        itemRoute.kind == ExtrasItem::InstallRoute::Kind::hub ? action(qt(itemRoute.productId)).title : QString();
    return ExtrasText::page(*item, itemRoute, hubTitle);
}

void AppModel::performExtrasAction(const QString& itemId) {
    const auto* item = extrasItem(itemId.toStdString());
    if (!item)
        return;
    const auto itemRoute = route(*item);
    if (itemRoute.kind == ExtrasItem::InstallRoute::Kind::hub)
        performAction(qt(itemRoute.productId));
    else if (itemRoute.url)
        openUrl(QUrl(qt(itemRoute.url->text())));
}

QString AppModel::formatBytes(qint64 bytes) const {
    return ByteCount::format(bytes);
}

void AppModel::addToCart(const QString& productId) {
    if (const auto* product = state_.storeProduct(productId.toStdString()))
        addToCart(*product, std::nullopt);
}

void AppModel::removeFromCart(const QString& productId) {
    cart_->remove(productId);
}

void AppModel::rebuildSearchResults() {
    std::unordered_set<std::string> allowed;
    for (const auto* product : state_.products())
        allowed.insert(product->id);
    std::vector<ProductRow> rows;
    for (const auto& product : searchIndex_->results(navigation_->search().toStdString(), allowed))
        rows.push_back(rowFor(*product));
    searchResults_->setRows(std::move(rows));
    searchExtrasResults_->setRows(extrasRows(searchExtras(navigation_->search().toStdString())));
}

void AppModel::openSignIn(SignInPurpose purpose, const QString& reason) {
    const QString shownReason = purpose == SignInPurpose::connectStore ? reason : QString();
    if (purpose == signInPurpose_ && shownReason == signInReason_ && showSignIn_)
        return;
    signInPurpose_ = purpose;
    signInReason_ = shownReason;
    showSignIn_ = true;
    emit signInChanged();
}

QString AppModel::displayName() const {
    return AccountText::displayName(state_);
}

QString AppModel::displayEmail() const {
    return AccountText::displayEmail(state_).value_or(QString());
}

void AppModel::setLoading(bool starting) {
    const bool before = loading();
    loadingCount_ += starting ? 1 : -1;
    if (before != loading())
        emit loadingChanged();
}

} // namespace ostrel::hub
