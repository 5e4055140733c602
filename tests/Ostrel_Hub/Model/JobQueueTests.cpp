// The app's install jobs against the demo services over real HTTPS: real signed releases, the
// pinned downloader and the install pipeline placing into a temporary home, with the download
// host's fault switches standing in for a bad network.
#include "EventLoop.h"
#include "Install/DownloadError.h"
#include "Model/JobQueue.h"
#include "Model/Worker.h"
#include "RecordedVersion.h"
#include "RunningDemo.h"
#include "Services/InMemoryTokenPersistence.h"
#include "Util/PathSafety.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;
using Kind = InstallStage::Kind;
using Tone = Banner::Tone;

// Waits with the event loop held back, so the stage reports of a running job pile up unseen.
template <class Predicate>
bool waitWithoutEvents(Predicate done, std::chrono::milliseconds step = std::chrono::milliseconds(10)) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(step);
    return done();
}

struct Said {
    Tone tone;
    QString text;
    bool operator==(const Said&) const = default;
};

void PrintTo(const Said& said, std::ostream* out) {
    *out << static_cast<int>(said.tone) << " \"" << said.text.toStdString() << "\"";
}

class JobQueueTest : public ::testing::Test {
protected:
    // Starting the services makes a certificate authority and signs every release: once for all.
    static void SetUpTestSuite() { shared = std::make_unique<demo::RunningDemo>(); }
    static void TearDownTestSuite() { shared.reset(); }

    void SetUp() override {
        fs::create_directories(dir / "data");
        client.signIn("demo@ostrel.test", "demo");
        openQueue();
    }

    void TearDown() override {
        closeQueue();
        fault("mode=none"); // lets stalled answers go
    }

    void closeQueue() {
        tester.reset();
        queue.reset();
    }

    // A queue over this test's folders, as after a start of the app, with its list checked.
    void openQueue() {
        closeQueue();
        queue = std::make_unique<JobQueue>(pipeline, lock, *ledger, PausedJobs::fileIn(dir / "work"), events());
        tester = std::make_unique<QAbstractItemModelTester>(queue.get(),
                                                            QAbstractItemModelTester::FailureReportingMode::Fatal);
        ASSERT_TRUE(test::runUntil([&] { return queue->restored(); }));
    }

    JobEvents events() {
        return {.flash =
                    [this](Tone tone, QString text) {
                        said.push_back({tone, std::move(text)});
                    },
                .notifyWhenInactive = [this](QString title,
                                             QString body) { notices.emplace_back(std::move(title), std::move(body)); },
                .installedChanged =
                    [this] {
                        ++installedChanges;
                        lockFreeAfterChange.push_back(lockIsFree());
                    },
                .report =
                    [this](std::exception_ptr error) {
                        try {
                            std::rethrow_exception(error);
                        } catch (const std::exception& e) {
                            reports.emplace_back(e.what());
                        }
                    }};
    }

    InstallRequest request(const std::string& productId) {
        const auto product = client.product(productId);
        return {product.id, product.name, product.version.value_or("0"), product.macDownloads().at(0)};
    }

    InstallJob* enqueue(const std::string& productId, bool verifyOnly = false) {
        return queue->enqueue(request(productId), verifyOnly);
    }

    // Switches a misbehaviour of the download host on or off.
    void fault(const std::string& query) {
        const Url control(demo::DemoHosts::https(demo.services.hosts().downloads) + "/_demo/fault?" + query);
        ASSERT_EQ(demo.transport.send(HTTPRequest{.url = control, .method = "POST"}).status, 200);
    }

    // What the download host sent for one release file, oldest first.
    nlohmann::json sent(const InstallRequest& of) {
        const Url report(demo::DemoHosts::https(demo.services.hosts().downloads) +
                         "/_demo/downloads?file=" + of.download.key);
        return nlohmann::json::parse(demo.transport.send(HTTPRequest{.url = report}).body)["downloads"];
    }

    // The first byte of the last answer for the file: above 0 when it continued a download.
    int64_t lastAnswerStart(const InstallRequest& of) {
        const auto answers = sent(of);
        if (answers.empty() || answers.back()["status"] != 206)
            return 0;
        return std::stoll(answers.back()["range"].get<std::string>().substr(6)); // "bytes FROM-LAST/TOTAL"
    }

    fs::path partialFile(const InstallRequest& of) const {
        return dir / "work" / PathSafety::sanitizedFileName(of.download.key, "download") /
               (PathSafety::sanitizedFileName(of.download.name, "download") + ".partial");
    }

    // Whether another process could take the install lock now.
    bool lockIsFree() {
        InstallLock other(dir / "data");
        return other.tryLock();
    }

    static bool settled(const InstallJob* job) {
        return !job->isRunning() && (job->isFinished() || job->stage().kind == Kind::paused);
    }

    bool waitSettled(const InstallJob* job) {
        return test::runUntil([&] { return settled(job); });
    }

    // Runs a job into a stalled download (the first half arrived, the rest never comes) and pauses it.
    void pauseInStall(InstallJob* job) {
        ASSERT_TRUE(test::runUntil([&] { return job->received() > 0; }));
        ASSERT_TRUE(queue->pause(job));
        ASSERT_TRUE(waitSettled(job));
        ASSERT_EQ(job->stage().kind, Kind::paused);
    }

    std::vector<PausedJob> keptPaused() const { return PausedJobs::read(PausedJobs::fileIn(dir / "work")); }

    static inline std::unique_ptr<demo::RunningDemo> shared;
    demo::RunningDemo& demo = *shared;
    test::TempDir dir;
    InMemoryTokenPersistence tokens;
    MoonbaseClient client{demo.config.hostPolicy(), demo.transport, tokens};
    std::shared_ptr<InstallLedger> ledger = std::make_shared<InstallLedger>(dir / "data");
    CodeVerifier verifier{
        SignaturePolicy::ostrel(),
        signature::TrustSettings{.anchors =
                                     signature::TrustAnchors::fromPemFile(demo.services.codeSigningRoot()).value()}};
    InstallPipeline pipeline{
        Extractor{.verifier = verifier, .requireSignedContainers = true},
        BundleInstaller{.verifier = verifier, .home = dir / "home", .applications = dir / "home/Applications"}, ledger,
        dir / "work",
        ReleaseSource{&client,
                      std::make_shared<Downloader>(demo.config.hostPolicy(), demo.config.pinnedTrust(),
                                                   PinnedCurl::Routing{demo.config.caBundle, demo.config.connectTo})}};
    std::optional<InstallLock> lock{std::in_place, dir / "data"};

    std::vector<Said> said;
    std::vector<std::pair<QString, QString>> notices;
    int installedChanges = 0;
    std::vector<bool> lockFreeAfterChange; // whether the lock was free each time a job or uninstall ended
    std::vector<std::string> reports;
    std::unique_ptr<JobQueue> queue;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST_F(JobQueueTest, AnInstallRunsUnderTheLockToTheLedgerAndIsAnnounced) {
    InstallJob* job = enqueue("pulse-gate");
    ASSERT_NE(job, nullptr);
    EXPECT_TRUE(job->isRunning());
    EXPECT_FALSE(lockIsFree()) << "the lock is taken when the install starts";
    std::vector<Kind> stages;
    std::optional<bool> pausedWhileVerifying;
    QObject::connect(job, &InstallJob::stageChanged, [&] {
        if (stages.empty() || stages.back() != job->stage().kind)
            stages.push_back(job->stage().kind);
        if (job->stage().kind == Kind::verifying)
            pausedWhileVerifying = queue->pause(job);
    });

    ASSERT_TRUE(waitSettled(job));
    EXPECT_EQ(job->stage().kind, Kind::installed);
    EXPECT_EQ(stages, (std::vector<Kind>{Kind::resolving, Kind::downloading, Kind::verifying, Kind::installing,
                                         Kind::installed}));
    EXPECT_EQ(pausedWhileVerifying, false) << "only a job that is getting its download pauses";
    EXPECT_FALSE(queue->pause(job));
    QSignalSpy changes(job, &InstallJob::stageChanged);
    job->setStage(job->stage());
    EXPECT_EQ(changes.count(), 0) << "only a change is signalled";
    ledger->reload();
    EXPECT_EQ(test::recordedVersion(*ledger, "pulse-gate"), "0.9.4");
    EXPECT_EQ(said, (std::vector<Said>{{Tone::success, "Pulse Gate 0.9.4 is installed."}}));
    EXPECT_EQ(notices, (std::vector<std::pair<QString, QString>>{
                           {"Pulse Gate is installed", "Version 0.9.4 is ready to use."}}));
    EXPECT_EQ(installedChanges, 1);
    EXPECT_TRUE(lockIsFree()) << "released once nothing is active";

    const QModelIndex row = queue->index(0);
    EXPECT_EQ(row.data(JobQueue::JobRole).value<QObject*>(), job);
    EXPECT_EQ(row.data(JobQueue::ProductIdRole).toString(), "pulse-gate");
    EXPECT_EQ(row.data(JobQueue::StageRole).value<InstallJob::Stage>(), InstallJob::Stage::installed);
    EXPECT_EQ(row.data(JobQueue::FractionRole).toDouble(), 1.0);
    EXPECT_EQ(row.data(Qt::DisplayRole).toString(), "Pulse Gate");
    const auto roles = queue->roleNames();
    for (auto role = roles.begin(); role != roles.end(); ++role)
        EXPECT_TRUE(row.data(role.key()).isValid()) << "the screens read " << role.value().toStdString();
}

TEST_F(JobQueueTest, AReleaseCheckNeverTakesTheLockWhileAnInstallCannotStartWithoutIt) {
    InstallLock updater(dir / "data");
    ASSERT_TRUE(updater.tryLock()) << "as the background updater holds it";

    InstallJob* check = enqueue("pulse-gate", true);
    InstallJob* install = enqueue("aurora-verb");
    EXPECT_EQ(install->stage(), InstallStage::failed("A background update is running. Try again in a minute."))
        << "fails at once";
    EXPECT_FALSE(install->isRunning());
    ASSERT_TRUE(waitSettled(check));
    EXPECT_EQ(check->stage().kind, Kind::installed);
    EXPECT_EQ(said,
              (std::vector<Said>{{Tone::failure, "Aurora Verb: A background update is running. Try again in a minute."},
                                 {Tone::success, "Pulse Gate 0.9.4 passed every check."}}));
    EXPECT_TRUE(notices.empty()) << "a release check never posts a notification";
    ledger->reload();
    EXPECT_TRUE(ledger->all().empty());
    EXPECT_FALSE(fs::exists(dir / "home"));

    updater.unlock();
    ASSERT_TRUE(queue->retry(install));
    ASSERT_TRUE(waitSettled(install));
    EXPECT_EQ(install->stage().kind, Kind::installed) << "retryable once the lock is free";
}

TEST_F(JobQueueTest, APausedDownloadShowsPausedAtOnceIgnoresLateReportsAndResumesWhereItStopped) {
    const auto release = request("aurora-verb");
    fault("mode=stall&count=1");
    InstallJob* job = queue->enqueue(release, false);
    // The first half arrives and the answer stalls; every report of it waits unseen for the GUI thread.
    ASSERT_TRUE(waitWithoutEvents([&] {
        std::error_code missing;
        return fs::file_size(partialFile(release), missing) == static_cast<uintmax_t>(release.download.size / 2);
    }));
    ASSERT_TRUE(queue->pause(job));
    EXPECT_EQ(job->stage().kind, Kind::paused);
    QSignalSpy changes(job, &InstallJob::stageChanged);
    ASSERT_TRUE(waitSettled(job));
    EXPECT_EQ(changes.count(), 0) << "the reports that came after the pause were dropped";
    EXPECT_EQ(job->received(), 0);
    EXPECT_TRUE(job->hasResumeData());
    EXPECT_TRUE(said.empty()) << "a pause says nothing";
    EXPECT_TRUE(lockIsFree());
    ASSERT_TRUE(test::runUntil([&] { return keptPaused().size() == 1; }));
    EXPECT_EQ(keptPaused()[0], (PausedJob{release, false}));

    fault("mode=none");
    ASSERT_TRUE(queue->resume(job));
    ASSERT_TRUE(waitSettled(job));
    EXPECT_EQ(job->stage().kind, Kind::installed);
    EXPECT_GT(lastAnswerStart(release), 0) << "only the rest was fetched: " << sent(release).dump();
    EXPECT_EQ(said, (std::vector<Said>{{Tone::success, "Aurora Verb 2.4.1 is installed."}}));
    EXPECT_TRUE(test::runUntil([&] { return !fs::exists(PausedJobs::fileIn(dir / "work")); }))
        << "nothing is kept once the paused job is done";
}

TEST_F(JobQueueTest, APausedJobIsListedAgainByTheNextQueueAndResumesFromWhatThePipelineKept) {
    const auto release = request("sketchpad");
    fault("mode=stall&count=2");
    pauseInStall(queue->enqueue(release, true));
    pauseInStall(queue->enqueue(request("pulse-gate"), false));
    ASSERT_TRUE(test::runUntil([&] { return keptPaused().size() == 2; }));

    openQueue();
    ASSERT_EQ(queue->rowCount(), 2);
    InstallJob* again = queue->job(QStringLiteral("sketchpad"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->request(), release);
    EXPECT_TRUE(again->verifyOnly());
    EXPECT_EQ(again->stage().kind, Kind::paused);
    InstallJob* plain = queue->job(QStringLiteral("pulse-gate"));
    EXPECT_FALSE(plain->verifyOnly());
    EXPECT_TRUE(plain->hasResumeData()) << "the pipeline kept its download";

    fault("mode=none");
    ASSERT_TRUE(queue->resume(plain));
    ASSERT_TRUE(waitSettled(plain));
    EXPECT_EQ(plain->stage().kind, Kind::installed);
    EXPECT_GT(lastAnswerStart(request("pulse-gate")), 0) << sent(request("pulse-gate")).dump();
    ASSERT_TRUE(test::runUntil([&] { return keptPaused().size() == 1; }));
    EXPECT_EQ(keptPaused()[0].request, release);
}

TEST_F(JobQueueTest, AJobResumedBeforeItsDownloadStoppedContinuesOnItsOwn) {
    const auto release = request("aurora-verb");
    fault("mode=stall&count=1");
    InstallJob* job = queue->enqueue(release, false);
    ASSERT_TRUE(test::runUntil([&] { return job->received() > 0; }));
    ASSERT_TRUE(queue->pause(job));
    ASSERT_TRUE(queue->resume(job));
    EXPECT_TRUE(job->isRunning()) << "the stopped download has not ended yet";
    fault("mode=none");
    ASSERT_TRUE(waitSettled(job));
    EXPECT_EQ(job->stage().kind, Kind::installed);
    EXPECT_GT(lastAnswerStart(release), 0) << sent(release).dump();
}

TEST_F(JobQueueTest, APauseThatComesAfterTheDownloadEndedLeavesTheJobPausedToStartOver) {
    const auto release = request("pulse-gate");
    const size_t answersBefore = sent(release).size(); // the services are shared by every test here
    InstallJob* job = queue->enqueue(release, false);
    const fs::path downloaded = partialFile(release).replace_extension();
    ASSERT_TRUE(waitWithoutEvents([&] { return fs::exists(downloaded); }, std::chrono::milliseconds(1)));
    ASSERT_TRUE(queue->pause(job)) << "the screen has seen no report yet";
    ASSERT_TRUE(waitSettled(job));
    EXPECT_EQ(job->stage().kind, Kind::paused);
    EXPECT_FALSE(job->hasResumeData());
    EXPECT_TRUE(said.empty());
    ledger->reload();
    EXPECT_FALSE(ledger->record("pulse-gate"));

    ASSERT_TRUE(queue->resume(job));
    ASSERT_TRUE(waitSettled(job));
    EXPECT_EQ(job->stage().kind, Kind::installed);
    EXPECT_EQ(sent(release).size(), answersBefore + 2);
    EXPECT_EQ(lastAnswerStart(release), 0) << "started over";
}

TEST_F(JobQueueTest, ADownloadUnderWayWhenTheAppQuitsIsListedPausedNextTime) {
    const auto release = request("aurora-verb");
    fault("mode=stall&count=1");
    InstallJob* job = queue->enqueue(release, false);
    ASSERT_TRUE(test::runUntil([&] { return job->received() > 0; }));
    openQueue();
    ASSERT_EQ(queue->rowCount(), 1);
    job = queue->jobs()[0];
    EXPECT_EQ(job->request(), release);
    EXPECT_EQ(job->stage().kind, Kind::paused);
    EXPECT_TRUE(job->hasResumeData());

    fault("mode=none");
    ASSERT_TRUE(queue->resume(job));
    ASSERT_TRUE(waitSettled(job));
    EXPECT_EQ(job->stage().kind, Kind::installed);
    EXPECT_GT(lastAnswerStart(release), 0) << sent(release).dump();
}

TEST_F(JobQueueTest, TheLockStaysWhileAnyPipelineOrUninstallStillRuns) {
    auto noSize = request("meter-one");
    noSize.download.size = 0;
    // A stopped download still ends in its pipeline while another job finishes.
    for (const bool cancelIt : {true, false}) {
        SCOPED_TRACE(cancelIt ? "cancelled" : "paused");
        fault("mode=stall&count=1");
        InstallJob* stalled = enqueue("aurora-verb");
        ASSERT_TRUE(test::runUntil([&] { return stalled->received() > 0; }));
        InstallJob* quick = queue->enqueue(noSize, true);
        // Its pipeline is done and its end waits for the GUI thread, before the other's.
        ASSERT_TRUE(waitWithoutEvents([] { return kitThreads().activeThreadCount() == 1; }));
        if (cancelIt)
            queue->cancel(stalled);
        else
            ASSERT_TRUE(queue->pause(stalled));
        lockFreeAfterChange.clear();
        ASSERT_TRUE(waitSettled(quick));
        ASSERT_TRUE(test::runUntil([&] { return lockFreeAfterChange.size() == 2; }));
        EXPECT_EQ(lockFreeAfterChange, (std::vector<bool>{false, true}));
        queue->cancel(quick);
        if (!cancelIt)
            queue->cancel(stalled);
        fault("mode=none");
    }

    // A release check ends while an uninstall places files.
    InstallJob* installed = enqueue("pulse-gate");
    ASSERT_TRUE(waitSettled(installed));
    InstallJob* check = enqueue("tidal-delay", true);
    kitThreads().waitForDone();
    auto uninstalling = queue->uninstall("pulse-gate");
    lockFreeAfterChange.clear();
    test::await(std::move(uninstalling));
    ASSERT_TRUE(settled(check));
    EXPECT_EQ(lockFreeAfterChange, (std::vector<bool>{false, false}));
    EXPECT_TRUE(lockIsFree());
}

TEST_F(JobQueueTest, AFailedDownloadSaysWhyAndARetryInstalls) {
    fault("mode=not-found&count=1");
    InstallJob* job = enqueue("pulse-gate");
    ASSERT_TRUE(waitSettled(job));
    const std::string reason = DownloadError::httpStatus(404).what();
    EXPECT_EQ(job->stage(), InstallStage::failed(reason));
    EXPECT_EQ(queue->index(0).data(JobQueue::FailureReasonRole).toString().toStdString(), reason);
    EXPECT_EQ(said, (std::vector<Said>{{Tone::failure, "Pulse Gate: " + QString::fromStdString(reason)}}));
    EXPECT_TRUE(lockIsFree());
    EXPECT_FALSE(queue->resume(job)) << "only a paused job resumes";

    ASSERT_TRUE(queue->retry(job));
    EXPECT_TRUE(job->isRunning());
    ASSERT_TRUE(waitSettled(job));
    EXPECT_EQ(job->stage().kind, Kind::installed);
    EXPECT_EQ(said.back(), (Said{Tone::success, "Pulse Gate 0.9.4 is installed."}));
}

TEST_F(JobQueueTest, AtMostTwoRunAndTheRestStartInTheirOrder) {
    const std::vector<std::string> products{"pulse-gate", "meter-one", "sketchpad", "tidal-delay"};
    std::vector<std::string> started;
    size_t mostRunning = 0;
    for (const auto& product : products) {
        InstallJob* job = enqueue(product);
        QObject::connect(job, &InstallJob::runningChanged, [&, job] {
            const auto all = queue->jobs();
            mostRunning = std::max<size_t>(
                mostRunning, std::count_if(all.begin(), all.end(), [](auto* j) { return j->isRunning(); }));
            if (job->isRunning())
                started.push_back(job->request().productId);
        });
    }
    const auto jobs = queue->jobs();
    ASSERT_EQ(jobs.size(), 4u);
    EXPECT_TRUE(jobs[0]->isRunning() && jobs[1]->isRunning());
    EXPECT_FALSE(jobs[2]->isRunning() || jobs[3]->isRunning());
    EXPECT_EQ(jobs[3]->stage().kind, Kind::queued);

    ASSERT_TRUE(test::runUntil([&] { return std::all_of(jobs.begin(), jobs.end(), settled); }));
    EXPECT_EQ(mostRunning, 2u);
    EXPECT_EQ(started, (std::vector<std::string>{"sketchpad", "tidal-delay"})) << "the waiting ones, oldest first";
    for (auto* job : jobs)
        EXPECT_EQ(job->stage().kind, Kind::installed) << job->request().productId;
    ledger->reload();
    EXPECT_EQ(ledger->all().size(), 4u);
    EXPECT_TRUE(lockIsFree());
}

TEST_F(JobQueueTest, InstallingAgainLeavesARunningJobAndReplacesAPausedOrFailedOne) {
    const auto release = request("aurora-verb");
    fault("mode=stall&count=1");
    InstallJob* first = queue->enqueue(release, false);
    ASSERT_TRUE(test::runUntil([&] { return first->received() > 0; }));
    EXPECT_EQ(queue->enqueue(release, false), nullptr);
    EXPECT_EQ(queue->jobs(), std::vector<InstallJob*>{first}) << "the running job goes on";

    ASSERT_TRUE(queue->pause(first));
    ASSERT_TRUE(waitSettled(first));
    ASSERT_TRUE(test::runUntil([&] { return keptPaused().size() == 1; }));
    fault("mode=none");
    InstallJob* second = queue->enqueue(release, false);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(queue->jobs(), std::vector<InstallJob*>{second});
    ASSERT_TRUE(waitSettled(second));
    EXPECT_EQ(second->stage().kind, Kind::installed);
    EXPECT_EQ(lastAnswerStart(release), 0) << "a replaced paused download starts over: " << sent(release).dump();
    EXPECT_TRUE(test::runUntil([&] { return keptPaused().empty(); }));

    fault("mode=not-found&count=1");
    InstallJob* failed = enqueue("pulse-gate");
    ASSERT_TRUE(waitSettled(failed));
    ASSERT_EQ(failed->stage().kind, Kind::failed);
    InstallJob* fresh = enqueue("pulse-gate", true);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(queue->jobs(), (std::vector<InstallJob*>{second, fresh}));
    ASSERT_TRUE(waitSettled(fresh));
    EXPECT_EQ(fresh->stage().kind, Kind::installed);
}

TEST_F(JobQueueTest, CancelRemovesAJobAndItsSlotIsFreeOnceItsDownloadHasStopped) {
    fault("mode=stall&count=2");
    InstallJob* stalled = enqueue("aurora-verb");
    InstallJob* other = enqueue("tidal-delay");
    InstallJob* waiting = enqueue("pulse-gate");
    ASSERT_TRUE(test::runUntil([&] { return stalled->received() > 0 && other->received() > 0; }));

    queue->cancel(waiting);
    EXPECT_EQ(queue->jobs(), (std::vector<InstallJob*>{stalled, other}));
    queue->cancel(stalled);
    EXPECT_EQ(queue->jobs(), std::vector<InstallJob*>{other});
    InstallJob* next = enqueue("meter-one");
    EXPECT_FALSE(next->isRunning()) << "the cancelled download still holds its slot";
    ASSERT_TRUE(test::runUntil([&] { return next->isRunning(); }));
    ASSERT_TRUE(waitSettled(next));
    EXPECT_EQ(next->stage().kind, Kind::installed);
    EXPECT_FALSE(lockIsFree()) << "a download is still under way";

    queue->cancel(other);
    ASSERT_TRUE(test::runUntil([&] { return lockIsFree(); }));
    EXPECT_EQ(said, (std::vector<Said>{{Tone::success, "Meter One 1.0.6 is installed."}}))
        << "cancelled jobs say nothing";
    EXPECT_TRUE(keptPaused().empty());
    ledger->reload();
    EXPECT_FALSE(ledger->record("aurora-verb"));
}

TEST_F(JobQueueTest, ClearingRemovesOnlyFinishedJobs) {
    InstallJob* done = enqueue("pulse-gate");
    ASSERT_TRUE(waitSettled(done));
    fault("mode=not-found&count=1");
    InstallJob* failed = enqueue("tidal-delay");
    ASSERT_TRUE(waitSettled(failed));
    fault("mode=stall&count=3");
    InstallJob* paused = enqueue("sketchpad");
    pauseInStall(paused);
    InstallJob* running = enqueue("aurora-verb");
    InstallJob* alsoRunning = enqueue("grain-field");
    InstallJob* queued = enqueue("meter-one");
    ASSERT_FALSE(queued->isRunning());

    queue->clearFinished();
    EXPECT_EQ(queue->jobs(), (std::vector<InstallJob*>{paused, running, alsoRunning, queued}));
}

TEST_F(JobQueueTest, UninstallSaysWhatStayedAndNeedsTheLock) {
    InstallJob* job = enqueue("aurora-verb");
    ASSERT_TRUE(waitSettled(job));
    const auto record = *ledger->record("aurora-verb");
    ASSERT_EQ(record.items.size(), 3u);

    {
        InstallLock updater(dir / "data");
        ASSERT_TRUE(updater.tryLock());
        test::await(queue->uninstall("aurora-verb"));
        EXPECT_EQ(said.back(), (Said{Tone::failure, "A background update is running. Try again in a minute."}));
        ledger->reload();
        EXPECT_TRUE(ledger->record("aurora-verb")) << "nothing changed";
        EXPECT_TRUE(fs::exists(record.items[0].path));
    }

    // Edited since install: their signatures no longer hold.
    for (const size_t i : {0u, 2u}) {
        std::ofstream plist(fs::path(record.items[i].path) / "Contents/Info.plist", std::ios::app);
        plist << "\n";
    }
    const int changesBefore = installedChanges;
    test::await(queue->uninstall("aurora-verb"));
    EXPECT_EQ(said.back(), (Said{Tone::failure, QString::fromStdString("Left in place because they changed since "
                                                                       "install: " +
                                                                       record.items[0].name() + ", " +
                                                                       record.items[2].name() + ".")}));
    EXPECT_TRUE(fs::exists(record.items[0].path));
    EXPECT_FALSE(fs::exists(record.items[1].path)) << "moved to the Trash";
    ledger->reload();
    EXPECT_FALSE(ledger->record("aurora-verb"));
    EXPECT_EQ(installedChanges, changesBefore + 1);
    EXPECT_TRUE(lockIsFree());

    InstallJob* other = enqueue("pulse-gate");
    ASSERT_TRUE(waitSettled(other));
    test::await(queue->uninstall("pulse-gate"));
    EXPECT_EQ(said.back(), (Said{Tone::info, "Moved to the Trash."}));
}

TEST_F(JobQueueTest, AnUninstallThatFailsIsReportedAndFreesTheLock) {
    InstallJob* job = enqueue("pulse-gate");
    ASSERT_TRUE(waitSettled(job));
    const size_t saidBefore = said.size();
    // The uninstall's journal cannot be written where a file stands in for its folder.
    fs::remove_all(dir / "data/journal");
    test::writeFile(dir / "data/journal", "in the way");
    test::await(queue->uninstall("pulse-gate"));
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(said.size(), saidBefore) << "the report speaks, not a banner";
    EXPECT_TRUE(lockIsFree());
}

} // namespace
} // namespace ostrel::hub
