// What a failed job says when the failure is not one of the hub's own errors, and how the queue
// treats a damaged file of paused jobs: no services needed, the pipeline fails before it asks.
#include "EventLoop.h"
#include "Model/JobQueue.h"
#include "TempDir.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;
using Kind = InstallStage::Kind;

struct StorelessQueue {
    test::TempDir dir;
    std::shared_ptr<InstallLedger> ledger = std::make_shared<InstallLedger>(dir / "data");
    CodeVerifier verifier{SignaturePolicy::ostrel()};
    // No store to download from: run() fails with the library's own logic error.
    InstallPipeline pipeline{Extractor{.verifier = verifier},
                             BundleInstaller{.verifier = verifier, .home = dir / "home"}, ledger, dir / "work"};
    std::optional<InstallLock> lock; // installs run without one
    std::vector<QString> said;
    std::unique_ptr<JobQueue> queue;

    void open() {
        openUnread();
        ASSERT_TRUE(test::runUntil([&] { return queue->restored(); }));
    }

    // A queue that has not read its paused jobs yet.
    void openUnread() {
        queue.reset();
        queue =
            std::make_unique<JobQueue>(pipeline, lock, *ledger, PausedJobs::fileIn(dir / "work"),
                                       JobEvents{.flash = [this](Banner::Tone, QString text) { said.push_back(text); },
                                                 .notifyWhenInactive = {},
                                                 .installedChanged = {},
                                                 .report = {}});
    }

    const InstallStage& runToEnd(InstallRequest request) {
        InstallJob* job = queue->enqueue(std::move(request), false);
        EXPECT_TRUE(test::runUntil([&] { return !job->isRunning() && job->isFinished(); }));
        return job->stage();
    }

    static InstallRequest request(const std::string& productId) {
        return {productId, "Echo", "1.0", Download{.name = "echo.zip", .key = productId, .size = 10}};
    }
};

TEST(JobSentences, NoInternalTextReachesTheUser) {
    StorelessQueue store;
    store.open();
    QAbstractItemModelTester tester(store.queue.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(store.runToEnd(StorelessQueue::request("echo")),
              InstallStage::failed("The install could not be finished."));

    EXPECT_EQ(store.runToEnd({"sizeless", "Echo", "1.0", Download{.name = "echo.zip", .key = "k"}}),
              InstallStage::failed("The download was refused: the store gave no size for this download."))
        << "the hub's own errors speak for themselves";

    // The work folder cannot be made where a file stands.
    fs::remove_all(store.dir / "work");
    test::writeFile(store.dir / "work", "in the way");
    EXPECT_EQ(store.runToEnd(StorelessQueue::request("other")),
              InstallStage::failed("A file could not be read or written."));
    EXPECT_EQ(store.said.front(), "Echo: The install could not be finished.");
    EXPECT_EQ(store.said.back(), "Echo: A file could not be read or written.");
}

TEST(JobSentences, ADamagedFileOfPausedJobsListsNothing) {
    StorelessQueue store;
    test::writeFile(PausedJobs::fileIn(store.dir / "work"), R"({"format":1,"jobs":[{"productId":"echo"}]})");
    store.open();
    EXPECT_EQ(store.queue->rowCount(), 0);

    PausedJobs::write(PausedJobs::fileIn(store.dir / "work"), {{StorelessQueue::request("echo"), false}});
    store.open();
    ASSERT_EQ(store.queue->rowCount(), 1);
    EXPECT_EQ(store.queue->jobs()[0]->stage().kind, Kind::paused);
    EXPECT_FALSE(store.queue->jobs()[0]->hasResumeData()) << "no download of it waits in the work folder";
}

TEST(JobSentences, AProductQueuedBeforeThePausedJobsAreReadKeepsItsNewJob) {
    StorelessQueue store;
    const auto file = PausedJobs::fileIn(store.dir / "work");
    PausedJobs::write(file, {{StorelessQueue::request("echo"), false}, {StorelessQueue::request("other"), true}});
    store.openUnread();
    InstallJob* fresh = store.queue->enqueue(StorelessQueue::request("echo"), false);
    ASSERT_TRUE(test::runUntil([&] { return store.queue->restored() && !fresh->isRunning(); }));
    ASSERT_EQ(store.queue->rowCount(), 2);
    EXPECT_EQ(store.queue->jobs()[0], fresh);
    EXPECT_EQ(store.queue->jobs()[1]->request().productId, "other");
    EXPECT_TRUE(test::runUntil([&] { return PausedJobs::read(file).size() == 1; }))
        << "the replaced entry is dropped from the file";
}

} // namespace
} // namespace ostrel::hub
