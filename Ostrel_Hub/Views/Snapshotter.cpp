#include "Views/Snapshotter.h"

#include "Model/AppModel.h"
#include "Model/HubSection.h"
#include "Util/Log.h"
#include "Views/Appearance.h"

#include <QCoroTimer>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQuickItem>
#include <QWindow>
#include <system_error>

namespace ostrel::hub {
namespace fs = std::filesystem;
namespace {

// Far outside any screen, should the platform have one.
constexpr QPoint offScreen{-10000, -10000};

void capture(QQuickWindow& window, const fs::path& file) {
    const auto image = window.grabWindow();
    if (image.isNull() || !image.save(QString::fromStdString(file.string()), "PNG"))
        Log::error(Log::Category::launch, "snapshot " + file.string() + " could not be written");
}

// Snapshots always show the dark appearance, whatever the desktop prefers.
void useDarkAppearance(QQmlEngine& engine) {
    Appearance::force(true);
    const int type = qmlTypeId("Ostrel.Hub", 1, 0, "Appearance");
    if (auto* appearance = engine.singletonInstance<Appearance*>(type))
        appearance->setDark(true);
}

QCoro::Task<> wait(std::chrono::milliseconds span) {
    co_await QCoro::sleepFor(span);
}

} // namespace

Snapshotter::Snapshotter(QQmlEngine& engine, AppModel& model, Waits waits)
    : engine_(engine), model_(model), waits_(waits) {}

QCoro::Task<> Snapshotter::run(fs::path folder) {
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    useDarkAppearance(engine_);
    for (auto* window : QGuiApplication::topLevelWindows())
        window->hide();

    const QVariantMap withModel{{QStringLiteral("hub"), QVariant::fromValue(&model_)}};
    auto main = open(QStringLiteral("RootView.qml"), withModel, mainSize);
    auto security = open(QStringLiteral("SecurityPane.qml"), withModel, securitySize);
    const auto showcase = chooseShowcase();
    auto& navigation = *model_.navigation();

    for (const auto& state : states(showcase)) {
        state.action();
        co_await wait(waits_.state);
        if (main)
            capture(*main, folder / (state.name.toStdString() + ".png"));
        if (!navigation.search().isEmpty())
            navigation.setSearch({});
    }

    // The checkout sheet over the showcase product's page, with the store's payment page in it.
    if (!showcase.isEmpty()) {
        showOnly(HubSection::discover, showcase);
        model_.buyNow(showcase);
        co_await wait(waits_.state);
        if (main && model_.checkout()->active())
            capture(*main, folder / "checkout.png");
        model_.checkout()->close();
    }

    if (!showcase.isEmpty()) {
        auto full = open(QStringLiteral("RootView.qml"), withModel, productFullSize);
        select(HubSection::discover);
        navigation.setPath({showcase});
        co_await wait(waits_.productFull);
        if (full)
            capture(*full, folder / "product-full.png");
        full.reset();
        // The review sheet for the showcase product, as "Write a Review" (or the edit) opens it.
        auto* reviews = model_.reviews();
        reviews->write(showcase);
        auto sheet =
            open(QStringLiteral("ReviewSheet.qml"),
                 {{QStringLiteral("hub"), QVariant::fromValue(&model_)}, {QStringLiteral("productId"), showcase}},
                 reviewSheetSize);
        co_await wait(waits_.sheet);
        if (sheet)
            capture(*sheet, folder / "review-sheet.png");
        sheet.reset();
        reviews->form()->setOpen(false);
    }

    // The sign-in sheet as the Account screen opens it.
    if (auto signIn = open(QStringLiteral("SignInView.qml"), withModel, signInSize)) {
        co_await wait(waits_.sheet);
        capture(*signIn, folder / "sign-in.png");
    }

    for (const auto& [name, phase] :
         {std::pair{QStringLiteral("splash-early"), 0.25}, std::pair{QStringLiteral("splash-late"), 0.85}}) {
        auto capturing = captureOnePhase(name, phase, folder);
        co_await capturing;
    }

    if (security)
        capture(*security, folder / "security.png");
}

QCoro::Task<> Snapshotter::captureOnePhase(QString name, double phase, fs::path folder) {
    auto splash =
        open(QStringLiteral("LaunchSplash.qml"),
             {{QStringLiteral("hub"), QVariant::fromValue(&model_)}, {QStringLiteral("phase"), phase}}, splashSize);
    co_await wait(waits_.splash);
    if (splash)
        capture(*splash, folder / (name.toStdString() + ".png"));
}

std::vector<Snapshotter::State> Snapshotter::states(const QString& showcase) const {
    std::vector<State> list{
        {QStringLiteral("discover"), [this] { select(HubSection::discover); }},
        {QStringLiteral("product"), [this, showcase] { showOnly(HubSection::discover, showcase); }},
        {QStringLiteral("browse"), [this] { select(HubSection::plugIns); }},
        {QStringLiteral("apps"), [this] { select(HubSection::apps); }},
        {QStringLiteral("free"), [this] { select(HubSection::free); }},
    };
    const auto& extras = model_.extras();
    if (extras && !extras->freeTools().empty()) {
        const auto page = Navigation::extraPrefix + QString::fromStdString(extras->freeTools().front().id);
        list.push_back({QStringLiteral("free-tools"), [this] { select(HubSection::freeTools); }});
        list.push_back({QStringLiteral("free-tool-page"), [this, page] { showOnly(HubSection::freeTools, page); }});
    }
    if (extras && !extras->earlyAccess().empty())
        list.push_back({QStringLiteral("early-access"), [this] { select(HubSection::earlyAccess); }});
    if (listsScreenshots(screenshotsProduct))
        list.push_back(
            {QStringLiteral("product-shots"), [this] { showOnly(HubSection::discover, screenshotsProduct); }});
    list.push_back({QStringLiteral("search"), [this] {
                        select(HubSection::discover);
                        model_.navigation()->setSearch(QStringLiteral("reverb"));
                    }});
    return list;
}

// The fixed product when the store has it, else the first one, else none.
QString Snapshotter::chooseShowcase() const {
    const auto& rows = model_.products()->rows();
    if (rows.empty())
        return {};
    for (const auto& row : rows)
        if (QString::fromStdString(row.product.id) == showcaseProduct)
            return showcaseProduct;
    return QString::fromStdString(rows.front().product.id);
}

bool Snapshotter::listsScreenshots(const QString& productId) const {
    const auto id = productId.toStdString();
    const auto& extras = model_.extras();
    return extras && model_.state().storeProduct(id) &&
           !extras->screenshots(id, model_.services().config.hostPolicy()).empty();
}

void Snapshotter::select(HubSection section) const {
    model_.navigation()->setSelection(section);
}

// Selects the section, then puts `page` alone on its stack (nothing for no page).
void Snapshotter::showOnly(HubSection section, const QString& page) const {
    select(section);
    if (!page.isEmpty())
        model_.navigation()->setPath({page});
}

std::unique_ptr<QQuickWindow> Snapshotter::open(const QString& file, const QVariantMap& properties, QSize size) const {
    QQmlComponent component(&engine_, QUrl(QStringLiteral("qrc:/Ostrel/Hub/") + file));
    // Creating from a component in error crashes this Qt; it is checked first.
    std::unique_ptr<QObject> object(component.isReady() ? component.createWithInitialProperties(properties) : nullptr);
    auto* item = qobject_cast<QQuickItem*>(object.get());
    if (!item) {
        Log::error(Log::Category::launch,
                   "snapshot screen " + file.toStdString() + " did not load: " + component.errorString().toStdString());
        return nullptr;
    }
    auto window = std::make_unique<QQuickWindow>();
    window->setTitle(QStringLiteral("Ostrel Hub"));
    window->setPosition(offScreen);
    window->resize(size);
    item->setParentItem(window->contentItem());
    object.release()->setParent(window->contentItem()); // the window's content owns the screen now
    item->setSize(QSizeF(size));
    window->show();
    return window;
}

} // namespace ostrel::hub
