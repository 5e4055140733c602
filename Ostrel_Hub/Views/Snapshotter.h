#pragma once

#include "Model/HubSection.h"

#include <QCoroTask>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSize>
#include <QString>
#include <QVariantMap>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace ostrel::hub {

class AppModel;

// The unattended run of --snapshot: renders a fixed series of screens into off-screen windows
// in the dark appearance and saves each as a PNG. It waits on the event loop between states,
// so images, animations and loaders settle while it waits.
class Snapshotter {
public:
    using Milliseconds = std::chrono::milliseconds;
    // How long each kind of image is given to settle before it is taken.
    struct Waits {
        Milliseconds state{4000};
        Milliseconds productFull{5000};
        Milliseconds sheet{1000};
        Milliseconds splash{1000};
    };

    // The product the product pages show, when the store has it, and the one whose
    // screenshots the extras list.
    static inline const QString showcaseProduct = QStringLiteral("aurora-verb");
    static inline const QString screenshotsProduct = QStringLiteral("sketchpad");

    static inline const QSize mainSize{1440, 900};
    static inline const QSize productFullSize{1440, 2300};
    static inline const QSize splashSize{1100, 700};
    static inline const QSize securitySize{520, 560};
    static inline const QSize signInSize{520, 680};
    static inline const QSize reviewSheetSize{520, 600};

    Snapshotter(QQmlEngine& engine, AppModel& model, Waits waits);
    explicit Snapshotter(QQmlEngine& engine, AppModel& model) : Snapshotter(engine, model, Waits{}) {}

    // Writes every image into `folder` (made when missing); an image that cannot be made is
    // left out and the run goes on.
    QCoro::Task<> run(std::filesystem::path folder);

private:
    struct State {
        QString name;
        std::function<void()> action;
    };

    std::vector<State> states(const QString& showcase) const;
    QString chooseShowcase() const;
    bool listsScreenshots(const QString& productId) const;
    void select(HubSection section) const;
    void showOnly(HubSection section, const QString& page) const;
    std::unique_ptr<QQuickWindow> open(const QString& file, const QVariantMap& properties, QSize size) const;
    QCoro::Task<> captureOnePhase(QString name, double phase, std::filesystem::path folder);

    QQmlEngine& engine_;
    AppModel& model_;
    Waits waits_;
};

} // namespace ostrel::hub
