#pragma once

#include "ScreenHarness.h"
#include "Views/Appearance.h"

#include <QQmlEngine>
#include <QQuickItem>
#include <QStringList>
#include <QVariantMap>
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

namespace ostrel::test {

// Lines of text one to a line, for a failure message.
inline std::string listed(const QStringList& lines) {
    return lines.join(u'\n').toStdString();
}

// One of the hub's screens on a model (`hub`), in its own off-screen window, with the checks
// and actions the screen tests share.
struct ShownScreen {
    ScreenHarness harness;
    QQuickItem* root = nullptr;

    ShownScreen(const QString& file, QObject& hub, QVariantMap properties = {}, QSize size = {1440, 900}) {
        properties.insert(QStringLiteral("hub"), QVariant::fromValue(&hub));
        root = harness.load(file, properties, size);
        harness.settle(100);
    }

    // No QML warning and no unnamed control, in the state the test names.
    void expectClean(const std::string& state = {}) {
        harness.settle(60);
        ASSERT_NE(root, nullptr) << listed(harness.warnings());
        EXPECT_TRUE(harness.warnings().isEmpty()) << state << ":\n" << listed(harness.warnings());
        EXPECT_TRUE(harness.unnamedInteractiveItems().isEmpty()) << state << ":\n"
                                                                 << listed(harness.unnamedInteractiveItems());
    }
    void expectShows(const QStringList& words, const std::string& state = {}) const {
        for (const auto& word : words)
            EXPECT_TRUE(harness.shows(word)) << state << ": no \"" << word.toStdString() << "\" among\n"
                                             << listed(harness.visibleTexts());
    }
    bool shows(const QString& text) const { return harness.shows(text); }
    bool showsTextContaining(const QString& part) const {
        const auto texts = harness.visibleTexts();
        return std::ranges::any_of(texts, [&](const QString& text) { return text.contains(part); });
    }
    bool enabled(const QString& name) const {
        auto* item = harness.findByName(name);
        return item && item->isEnabled();
    }
    // The screen's item with this object name.
    QQuickItem* child(const char* objectName) const {
        return root ? root->findChild<QQuickItem*>(QLatin1String(objectName)) : nullptr;
    }
    // Clicks the control with this accessible name and lets the screen follow.
    void click(const QString& name) {
        auto* item = harness.findByName(name);
        ASSERT_NE(item, nullptr) << "no control named " << name.toStdString() << " among\n"
                                 << listed(harness.visibleTexts());
        harness.click(item);
        harness.settle();
    }
    // Saves the screen in both appearances as /tmp/<name>-dark.png and -light.png, for a person
    // to look at.
    void saveBoth(const QString& name) {
        auto* appearance =
            harness.engine().singletonInstance<hub::Appearance*>(qmlTypeId("Ostrel.Hub", 1, 0, "Appearance"));
        const bool was = appearance->dark();
        for (const bool dark : {true, false}) {
            appearance->setDark(dark);
            harness.settle(60);
            harness.grab().save(QStringLiteral("/tmp/%1-%2.png").arg(name, dark ? "dark" : "light"));
        }
        appearance->setDark(was);
        harness.settle();
    }
};

} // namespace ostrel::test
