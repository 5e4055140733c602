#include "ScreenHarness.h"

#include "Views/ViewEngine.h"

#include <QAccessible>
#include <QMutex>
#include <QQmlComponent>
#include <QQmlIncubationController>
#include <QQuickStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Ostrel_HubPlugin)

namespace ostrel::test {
namespace {

QMutex recordLock;
QStringList recorded;
QtMessageHandler previous = nullptr;
int harnesses = 0; // live harnesses: the recorder is installed once, by the first

void record(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) {
        QMutexLocker lock(&recordLock);
        recorded << message;
    }
    if (previous)
        previous(type, context, message);
}

// Anything a user can focus, press or type into.
bool isInteractive(QQuickItem* item) {
    if (item->activeFocusOnTab())
        return true;
    for (const auto* meta = item->metaObject(); meta; meta = meta->superClass()) {
        const QLatin1String name(meta->className());
        if (name == QLatin1String("QQuickAbstractButton") || name == QLatin1String("QQuickTextInput") ||
            name == QLatin1String("QQuickTextEdit") || name == QLatin1String("QQuickComboBox"))
            return true;
    }
    return false;
}

bool reallyVisible(QQuickItem* item) {
    return item->isVisible() && item->opacity() > 0.01;
}

QString accessibleName(QQuickItem* item) {
    auto* iface = QAccessible::queryAccessibleInterface(item);
    return iface ? iface->text(QAccessible::Name) : QString();
}

template <class Visit>
void walk(QQuickItem* item, Visit&& visit) {
    if (!item || !reallyVisible(item))
        return;
    visit(item);
    for (auto* child : item->childItems())
        walk(child, visit);
}

QString describe(QQuickItem* item) {
    for (auto* at = item; at; at = at->parentItem())
        if (!at->objectName().isEmpty())
            return QStringLiteral("%1 in %2")
                .arg(QString::fromLatin1(item->metaObject()->className()), at->objectName());
    return QString::fromLatin1(item->metaObject()->className());
}

} // namespace

ScreenHarness::ScreenHarness(std::shared_ptr<ImageDataCache> images) {
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QAccessible::setActive(true);
    {
        QMutexLocker lock(&recordLock);
        recorded.clear();
    }
    if (harnesses++ == 0)
        previous = qInstallMessageHandler(record);
    engine_ = std::make_unique<QQmlEngine>();
    hub::prepareEngine(*engine_, std::move(images));
    window_ = std::make_unique<QQuickWindow>();
}

ScreenHarness::~ScreenHarness() {
    window_.reset();
    engine_.reset();
    if (--harnesses == 0) {
        qInstallMessageHandler(previous);
        previous = nullptr;
    }
}

QQuickItem* ScreenHarness::load(const QString& file, const QVariantMap& properties, QSize size) {
    QQmlComponent component(engine_.get(), QUrl(QStringLiteral("qrc:/Ostrel/Hub/") + file));
    // A screen that does not compile gives no object, and its errors are the test's failure.
    auto* object = component.isReady() ? component.createWithInitialProperties(properties) : nullptr;
    if (!object) {
        QMutexLocker lock(&recordLock);
        recorded << component.errorString();
        return nullptr;
    }
    root_ = qobject_cast<QQuickItem*>(object);
    if (!root_) {
        std::unique_ptr<QObject> notAnItem(object); // a test asked for something that is not a screen
        return nullptr;
    }
    window_->resize(size);
    root_->setParentItem(window_->contentItem());
    root_->setParent(window_->contentItem());
    root_->setSize(QSizeF(size));
    window_->show();
    settle();
    return root_;
}

QStringList ScreenHarness::warnings() const {
    QMutexLocker lock(&recordLock);
    return recorded;
}

void ScreenHarness::clearWarnings() {
    QMutexLocker lock(&recordLock);
    recorded.clear();
}

void ScreenHarness::settle(int ms) {
    QTest::qWait(ms);
    // What the screen builds in the background is finished before the test looks at it.
    if (!QTest::qWaitFor([this] { return engine_->incubationController()->incubatingObjectCount() == 0; }))
        ADD_FAILURE() << "the screen was still being built after five seconds";
    window_->grabWindow();
}

QImage ScreenHarness::grab() {
    return window_->grabWindow();
}

QStringList ScreenHarness::unnamedInteractiveItems() const {
    QStringList unnamed;
    walk(window_->contentItem(), [&](QQuickItem* item) {
        if (isInteractive(item) && item->isEnabled() && accessibleName(item).trimmed().isEmpty())
            unnamed << describe(item);
    });
    return unnamed;
}

QStringList ScreenHarness::visibleTexts() const {
    QStringList texts;
    walk(window_->contentItem(), [&](QQuickItem* item) {
        auto text = item->property("text");
        if (text.isValid() && !text.toString().isEmpty())
            texts << text.toString();
        if (auto name = accessibleName(item); !name.isEmpty())
            texts << name;
    });
    return texts;
}

bool ScreenHarness::shows(const QString& text) const {
    return visibleTexts().contains(text);
}

QQuickItem* ScreenHarness::findByName(const QString& name) const {
    QQuickItem* found = nullptr;
    walk(window_->contentItem(), [&](QQuickItem* item) {
        if (!found && accessibleName(item) == name)
            found = item;
    });
    return found;
}

void ScreenHarness::click(QQuickItem* item) {
    auto centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mouseClick(window_.get(), Qt::LeftButton, Qt::NoModifier, centre);
}

void ScreenHarness::press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(window_.get(), key, modifiers);
}

} // namespace ostrel::test
