#include "EventLoop.h"
#include "Model/HubSettings.h"
#include "Model/Worker.h"
#include "TempDir.h"

#include <QCoroTask>
#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

TEST(HubSettings, DefaultsThenEveryChoiceLastsIntoANewInstance) {
    test::TempDir dir;
    const QString file = QString::fromStdString((dir / "hub.conf").string());
    {
        HubSettings fresh(file);
        EXPECT_EQ(fresh.currency(), "EUR");
        EXPECT_TRUE(fresh.wishlist().isEmpty());
        EXPECT_TRUE(fresh.autoUpdate());
        EXPECT_FALSE(fresh.betaWelcomeShown());
        fresh.setCurrency("USD");
        fresh.setWishlist({"b", "a"});
        fresh.setAutoUpdate(false);
        fresh.setBetaWelcomeShown(true);
    }
    HubSettings again(file);
    EXPECT_EQ(again.currency(), "USD");
    EXPECT_EQ(again.wishlist(), (QStringList{"b", "a"}));
    EXPECT_FALSE(again.autoUpdate());
    EXPECT_TRUE(again.betaWelcomeShown());
}

TEST(HubSettings, TheUsersOwnFileLivesUnderTheConfigFolder) {
    HubSettings settings;
    settings.setCurrency("GBP");
    const auto config = std::filesystem::path(std::getenv("XDG_CONFIG_HOME"));
    EXPECT_TRUE(std::filesystem::exists(config / "Ostrel" / "Ostrel Hub.conf"));
}

QCoro::Task<int> threadOfWork(QThread** seen) {
    co_return co_await onWorker([seen] {
        *seen = QThread::currentThread();
        return 7;
    });
}

TEST(Worker, RunsOffTheGuiThreadAndCarriesResultsAndErrorsBack) {
    QThread* seen = nullptr;
    EXPECT_EQ(test::await(threadOfWork(&seen)), 7);
    ASSERT_NE(seen, nullptr);
    EXPECT_NE(seen, QThread::currentThread());

    // A call whose captures own memory comes back whole (and is freed once).
    auto owning = []() -> QCoro::Task<std::string> {
        auto call = onWorker(
            [text = std::string(100, 'x'), path = std::filesystem::path("/a/b/c")] { return text + path.string(); });
        co_return co_await std::move(call);
    };
    EXPECT_EQ(test::await(owning()), std::string(100, 'x') + "/a/b/c");

    auto failing = []() -> QCoro::Task<void> {
        co_await onWorker([] { throw std::runtime_error("the Kit said no"); });
    };
    EXPECT_THROW(test::await(failing()), std::runtime_error);
}

// Work still running when the application ends is finished before the drain lets the
// application object go.
TEST(Worker, TheDrainFinishesRunningWorkBeforeItGoes) {
    std::atomic<bool> released = false;
    std::atomic<int> finished = 0;
    // Held until the releaser lets it go, a while after the drain has begun to wait.
    auto held = [&] {
        while (!released)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++finished;
    };
    kitThreads().start(held);
    QThreadPool::globalInstance()->start(held);
    EXPECT_EQ(finished, 0);
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        released = true;
    });
    { const WorkerDrain drain; }
    EXPECT_EQ(finished, 2);
    releaser.join();
    // Should the drain not have waited, the work must still end before its counters go.
    kitThreads().waitForDone();
    QThreadPool::globalInstance()->waitForDone();
}

} // namespace
} // namespace ostrel::hub
