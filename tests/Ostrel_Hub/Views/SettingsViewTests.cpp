// The Settings window: its tabs, every line of General with the model's switches and the
// currency picker, the scheduled-update and self-update switches with and without their
// owners, opened from the menu; rendered dark and light for a person to look at.
#include "EventLoop.h"
#include "Model/AppModel.h"
#include "Model/Beta.h"
#include "PrivateSessionBus.h"
#include "ScreenHarness.h"
#include "ShellModels.h"
#include "Views/Appearance.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

using test_models::EmptyModel;
using test_models::LiveModel;

// The scheduled background update and the hub's own updater are built on other branches;
// until they land, these stand-ins carry the same properties and calls the screen binds to.
// The background one can refuse a change, as the real one does when systemd refuses.
const QByteArray standIns = R"(
import QtQml
QtObject {
    property QtObject background: QtObject {
        property bool enabled: false
        property string status: "notRegistered"
        property bool available: true
        property bool refuses: false
        property var asked: []
        function setEnabled(on) {
            asked = asked.concat([on])
            if (!refuses) {
                enabled = on
                status = on ? "enabled" : "notRegistered"
            }
        }
        function refresh() {}
    }
    property QtObject updater: QtObject {
        property bool automaticallyChecksForUpdates: true
        property bool automaticallyDownloadsUpdates: false
        property bool canCheck: true
    }
}
)";

const QStringList generalWords = {
    QStringLiteral("General"),
    QStringLiteral("Security"),
    QStringLiteral("Plug-ins install to"),
    QStringLiteral("~/Library/Audio/Plug-Ins"),
    QStringLiteral("Apps install to"),
    QStringLiteral("/Applications"),
    QStringLiteral("Updates"),
    QStringLiteral("Install plug-in and app updates automatically"),
    QStringLiteral("Update in the background while Ostrel Hub is closed"),
    QStringLiteral("Check for new versions of Ostrel Hub"),
    QStringLiteral("Install new versions of Ostrel Hub automatically"),
    QStringLiteral("Prices in"),
    QStringLiteral("Version"),
    QStringLiteral("Send beta feedback"),
};

// The Settings view in an off-screen window, on a model, optionally with the stand-ins.
struct Settings {
    test::ScreenHarness screens;
    Beta beta{QStringLiteral("0.1.0"), QStringLiteral("42")};
    std::unique_ptr<QObject> owners;
    QObject* background = nullptr;
    QObject* updater = nullptr;
    QQuickItem* root = nullptr;

    Settings(AppModel* model, bool withOwners, bool dark = true) {
        if (withOwners) {
            QQmlComponent component(&screens.engine());
            component.setData(standIns, QUrl::fromLocalFile(QStringLiteral("/stand-ins/StandIns.qml")));
            owners.reset(component.create());
            if (!owners)
                ADD_FAILURE() << component.errorString().toStdString();
            background = owners ? owners->property("background").value<QObject*>() : nullptr;
            updater = owners ? owners->property("updater").value<QObject*>() : nullptr;
        }
        root = screens.load(QStringLiteral("SettingsView.qml"),
                            {{QStringLiteral("hub"), QVariant::fromValue(model)},
                             {QStringLiteral("background"), QVariant::fromValue(background)},
                             {QStringLiteral("updater"), QVariant::fromValue(updater)},
                             {QStringLiteral("beta"), QVariant::fromValue(&beta)}},
                            {560, 660});
        // The module's types are known once a screen of it has loaded.
        if (auto* appearance =
                screens.engine().singletonInstance<Appearance*>(qmlTypeId("Ostrel.Hub", 1, 0, "Appearance")))
            appearance->setDark(dark);
        screens.settle(100);
    }

    QQuickItem* named(const QString& name) const { return screens.findByName(name); }
    bool enabled(const QString& name) const { return named(name) && named(name)->isEnabled(); }
    bool checked(const QString& name) const { return named(name) && named(name)->property("checked").toBool(); }
    void click(const QString& name) {
        ASSERT_NE(named(name), nullptr) << name.toStdString();
        screens.click(named(name));
        screens.settle();
    }
    void expectClean(const char* which) const {
        EXPECT_TRUE(screens.warnings().isEmpty()) << which << ":\n" << screens.warnings().join(u'\n').toStdString();
        EXPECT_TRUE(screens.unnamedInteractiveItems().isEmpty())
            << which << ":\n"
            << screens.unnamedInteractiveItems().join(u'\n').toStdString();
    }
};

const QString autoUpdate = QStringLiteral("Install plug-in and app updates automatically");
const QString inBackground = QStringLiteral("Update in the background while Ostrel Hub is closed");
const QString checks = QStringLiteral("Check for new versions of Ostrel Hub");
const QString installs = QStringLiteral("Install new versions of Ostrel Hub automatically");

TEST(SettingsView, WithoutItsOwnersEveryLineShowsAndTheirSwitchesAreOffAndDisabled) {
    EmptyModel empty;
    Settings settings(empty.model.get(), false);
    ASSERT_NE(settings.root, nullptr) << settings.screens.warnings().join(u'\n').toStdString();
    settings.expectClean("empty model");
    for (const auto& words : generalWords)
        EXPECT_TRUE(settings.screens.shows(words)) << words.toStdString();
    EXPECT_TRUE(settings.screens.shows(QStringLiteral("Version 0.1.0 beta (42)")));

    EXPECT_TRUE(settings.enabled(autoUpdate));
    for (const auto& name : {inBackground, checks, installs}) {
        EXPECT_FALSE(settings.enabled(name)) << name.toStdString();
        EXPECT_FALSE(settings.checked(name)) << name.toStdString();
    }
    EXPECT_TRUE(settings.enabled(QStringLiteral("Send beta feedback")));

    // The switch shows the model's setting, writes it, and follows it back.
    ASSERT_TRUE(empty.model->autoUpdate());
    EXPECT_TRUE(settings.checked(autoUpdate));
    settings.click(autoUpdate);
    EXPECT_FALSE(empty.model->autoUpdate());
    EXPECT_FALSE(settings.checked(autoUpdate));
    empty.model->setAutoUpdate(true);
    settings.screens.settle();
    EXPECT_TRUE(settings.checked(autoUpdate)) << "the switch lost its binding to the model";
}

TEST(SettingsView, TheSecurityTabShowsTheGuaranteesAndTheKeysMoveBetweenTabs) {
    EmptyModel empty;
    Settings settings(empty.model.get(), false);
    ASSERT_NE(settings.root, nullptr);
    EXPECT_FALSE(settings.screens.shows(QStringLiteral("Every install")));
    EXPECT_TRUE(settings.checked(QStringLiteral("General")));
    settings.click(QStringLiteral("Security"));
    EXPECT_TRUE(settings.checked(QStringLiteral("Security")));
    EXPECT_FALSE(settings.checked(QStringLiteral("General")));
    for (const auto* words : {"Every install", "Network", "Account and payment", "Updates to this app"})
        EXPECT_TRUE(settings.screens.shows(QString::fromLatin1(words))) << words;
    EXPECT_FALSE(settings.screens.shows(QStringLiteral("Prices in")));
    settings.expectClean("security tab");

    // The chosen tab holds the keyboard; the arrows choose the other.
    EXPECT_TRUE(settings.named(QStringLiteral("Security"))->hasActiveFocus());
    settings.screens.press(Qt::Key_Left);
    EXPECT_TRUE(settings.checked(QStringLiteral("General")));
    EXPECT_TRUE(settings.named(QStringLiteral("General"))->hasActiveFocus());
    EXPECT_TRUE(settings.screens.shows(QStringLiteral("Prices in")));
    settings.screens.press(Qt::Key_Right);
    EXPECT_TRUE(settings.checked(QStringLiteral("Security")));
}

TEST(SettingsView, TheSwitchesFollowTheScheduledUpdateAndTheUpdaterTheyAreGiven) {
    EmptyModel empty;
    Settings settings(empty.model.get(), true);
    ASSERT_NE(settings.root, nullptr);
    settings.expectClean("with owners");
    auto& background = *settings.background;
    auto& updater = *settings.updater;

    // Starts from the scheduled update's own state, and asks it to change.
    EXPECT_TRUE(settings.enabled(inBackground));
    EXPECT_FALSE(settings.checked(inBackground));
    settings.click(inBackground);
    EXPECT_EQ(background.property("asked").toList(), QVariantList{true});
    EXPECT_TRUE(background.property("enabled").toBool());
    EXPECT_TRUE(settings.checked(inBackground));
    // A change the scheduled update refuses does not stay drawn.
    background.setProperty("refuses", true);
    settings.click(inBackground);
    EXPECT_EQ(background.property("asked").toList(), (QVariantList{true, false}));
    EXPECT_TRUE(settings.checked(inBackground));
    // Not where it can be scheduled from: shown, but not switchable.
    background.setProperty("available", false);
    settings.screens.settle();
    EXPECT_FALSE(settings.enabled(inBackground));

    // The updater's two settings; installing on its own needs the checks.
    EXPECT_TRUE(settings.checked(checks));
    EXPECT_FALSE(settings.checked(installs));
    EXPECT_TRUE(settings.enabled(installs));
    settings.click(installs);
    EXPECT_TRUE(updater.property("automaticallyDownloadsUpdates").toBool());
    settings.click(checks);
    EXPECT_FALSE(updater.property("automaticallyChecksForUpdates").toBool());
    EXPECT_FALSE(settings.enabled(installs));
    updater.setProperty("automaticallyChecksForUpdates", true);
    settings.screens.settle();
    EXPECT_TRUE(settings.checked(checks));
    EXPECT_TRUE(settings.enabled(installs));
}

TEST(SettingsView, PricesInListsTheStoresCurrenciesAndSetsTheModels) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveModel live;
    live.start();
    auto& model = *live.model;
    const auto offered = model.availableCurrencies();
    ASSERT_GE(offered.size(), 2) << "the demo store enables more than one currency";
    ASSERT_TRUE(offered.contains(model.currency()));

    Settings settings(&model, true);
    ASSERT_NE(settings.root, nullptr);
    settings.expectClean("live model");
    auto* picker = settings.root->findChild<QQuickItem*>(QStringLiteral("currencyPicker"));
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(picker)->text(QAccessible::Name), QStringLiteral("Prices in"));
    EXPECT_TRUE(picker->isEnabled());
    EXPECT_EQ(picker->property("count").toInt(), offered.size());
    EXPECT_EQ(picker->property("displayText").toString(), model.currency());

    // The keyboard alone: focus, open, move down, choose.
    const auto before = model.currency();
    const auto next = offered.at((offered.indexOf(before) + 1) % offered.size());
    picker->forceActiveFocus(Qt::TabFocusReason);
    settings.screens.press(Qt::Key_Space);
    settings.screens.settle(100);
    if (offered.indexOf(before) + 1 < offered.size())
        settings.screens.press(Qt::Key_Down);
    else
        settings.screens.press(Qt::Key_Home);
    settings.screens.press(Qt::Key_Return);
    settings.screens.settle(100);
    EXPECT_EQ(model.currency(), next);
    EXPECT_EQ(picker->property("displayText").toString(), next);

    // And it follows the model when the currency changes elsewhere.
    model.setCurrency(before);
    settings.screens.settle();
    EXPECT_EQ(picker->property("displayText").toString(), before);
    settings.screens.grab().save(QStringLiteral("/tmp/settings-general-dark.png"));
}

TEST(SettingsView, RendersInTheLightAppearanceToo) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    EmptyModel empty;
    Settings light(empty.model.get(), true, false);
    ASSERT_NE(light.root, nullptr);
    const auto general = light.screens.grab();
    // Light: the window is bright where the dark one is not.
    EXPECT_GT(qGray(general.pixel(4, general.height() - 4)), 200);
    general.save(QStringLiteral("/tmp/settings-general-light.png"));
    light.click(QStringLiteral("Security"));
    light.screens.grab().save(QStringLiteral("/tmp/settings-security-light.png"));

    Settings dark(empty.model.get(), false, true);
    const auto darkImage = dark.screens.grab();
    EXPECT_LT(qGray(darkImage.pixel(4, darkImage.height() - 4)), 80);
    darkImage.save(QStringLiteral("/tmp/settings-general-dark-empty.png"));
}

TEST(SettingsView, TheMenuOpensTheSettingsWindowOnceAndEscapeClosesIt) {
    EmptyModel empty;
    test::ScreenHarness screens;
    QQmlComponent component(&screens.engine(), QUrl(QStringLiteral("qrc:/Ostrel/Hub/Main.qml")));
    ASSERT_TRUE(component.isReady()) << component.errorString().toStdString();
    std::unique_ptr<QObject> main(
        component.createWithInitialProperties({{QStringLiteral("hub"), QVariant::fromValue(empty.model.get())}}));
    ASSERT_NE(main, nullptr) << component.errorString().toStdString();
    auto* window = qobject_cast<QQuickWindow*>(main.get());
    window->show();
    test::settle();

    const auto settingsWindows = [] {
        QList<QWindow*> found;
        for (auto* each : QGuiApplication::topLevelWindows())
            if (each->title() == QLatin1String("Settings") && each->isVisible())
                found << each;
        return found;
    };
    ASSERT_TRUE(settingsWindows().isEmpty());
    QObject* action = nullptr;
    for (auto* found : window->property("menuBar").value<QObject*>()->findChildren<QObject*>())
        if (found->inherits("QQuickAction") && found->property("text").toString() == QLatin1String("Settings..."))
            action = found;
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->property("shortcut").toString(), QStringLiteral("Ctrl+,"));

    QTest::keyClick(window, Qt::Key_Comma, Qt::ControlModifier);
    test::settle();
    ASSERT_EQ(settingsWindows().size(), 1);
    auto* settings = settingsWindows().front();
    EXPECT_EQ(settings->property("hub").value<QObject*>(), empty.model.get());
    // Asked again, the same window comes forward.
    QMetaObject::invokeMethod(action, "trigger");
    test::settle();
    EXPECT_EQ(settingsWindows(), QList<QWindow*>{settings});

    settings->requestActivate();
    test::settle();
    QTest::keyClick(settings, Qt::Key_Escape);
    test::settle();
    EXPECT_TRUE(settingsWindows().isEmpty());
    // The off-screen platform cannot raise a window and says so; any other warning counts.
    const auto warnings =
        screens.warnings().filter(QRegularExpression(QStringLiteral("^(?!This plugin does not support raise\\(\\))")));
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}

} // namespace
} // namespace ostrel::hub
