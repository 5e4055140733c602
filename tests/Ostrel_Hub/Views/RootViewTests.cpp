// The main window's content with an empty model: it loads without a QML warning, and every
// control on it has a name a screen reader can say.
#include "HomeIsolation.h"
#include "Model/AppModel.h"
#include "ScreenHarness.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

// A model on no services at all: nothing cached, nothing loaded.
struct EmptyModel {
    test::TempDir dir;
    std::unique_ptr<AppModel> model = [this] {
        ModelEnvironment environment;
        environment.cold = true;
        environment.ephemeralSessions = true;
        environment.settingsFile = QString::fromStdString((dir / "hub.conf").string());
        environment.supportFolder = dir / "data";
        environment.workFolder = dir / "work";
        environment.snapshotFolder = dir / "snapshots";
        environment.home = dir / "home";
        return std::make_unique<AppModel>(std::move(environment));
    }();
};

TEST(RootView, LoadsWithAnEmptyModelWithoutWarningsAndNamesEveryControl) {
    EmptyModel empty;
    test::ScreenHarness screens;
    ASSERT_NE(
        screens.load(QStringLiteral("RootView.qml"), {{QStringLiteral("hub"), QVariant::fromValue(empty.model.get())}}),
        nullptr);
    screens.settle(200);
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
    EXPECT_TRUE(screens.unnamedInteractiveItems().isEmpty())
        << screens.unnamedInteractiveItems().join(u'\n').toStdString();
}

} // namespace
} // namespace ostrel::hub
