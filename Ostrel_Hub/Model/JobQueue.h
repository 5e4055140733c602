#pragma once

#include "Install/InstallLedger.h"
#include "Install/InstallLock.h"
#include "Install/InstallPipeline.h"
#include "Model/Banner.h"
#include "Model/InstallJob.h"
#include "Model/PausedJobs.h"
#include "Model/WorkInFlight.h"

#include <QAbstractListModel>
#include <QCoroTask>
#include <QPointer>
#include <QString>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ostrel::hub {

// What the job queue tells the rest of the app model.
struct JobEvents {
    // A banner.
    std::function<void(Banner::Tone, QString)> flash;
    // A notification, which the model posts only while the app is not the active one.
    std::function<void(QString title, QString body)> notifyWhenInactive;
    // The ledger changed: the model refreshes its installed products and the badge.
    std::function<void()> installedChanged;
    // An error for the model's usual reporting.
    std::function<void(std::exception_ptr)> report;
};

// The install jobs of the app, oldest first, as a list for the Downloads screen: at most two
// run at once, each driving the install pipeline on the Kit's threads and mirroring its stages.
// The cross-process install lock is taken by the first install that starts and released when
// nothing is left active. Paused jobs outlast the app: they are kept in a small file and listed
// again, still paused, by the next queue on the same folders. Lives on the GUI thread.
class JobQueue : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
    Q_PROPERTY(bool restored READ restored NOTIFY restoredChanged)

public:
    enum Role {
        JobRole = Qt::UserRole + 1,
        ProductIdRole,
        ProductNameRole,
        VersionRole,
        StageRole,
        ReceivedRole,
        ExpectedRole,
        FractionRole,
        FailureReasonRole,
        VerifyOnlyRole,
        IsActiveRole,
        IsRunningRole,
        HasResumeDataRole,
    };

    static constexpr int maxConcurrentJobs = 2;
    static inline const QString lockedMessage =
        QStringLiteral("A background update is running. Try again in a minute.");

    // The pipeline, lock and ledger are the model's and outlive the queue; an absent lock means
    // installs run without one. `pausedJobsFile` is where paused jobs are kept between runs
    // (PausedJobs::fileIn of the pipeline's work folder); the queue reads it at once.
    JobQueue(InstallPipeline& pipeline, std::optional<InstallLock>& lock, InstallLedger& ledger,
             std::filesystem::path pausedJobsFile, JobEvents events, QObject* parent = nullptr);
    // Stops every running job and waits for the Kit's calls that use the pipeline to return.
    ~JobQueue() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Queues an install, update or release check of the request's product. Nothing changes while
    // that product's job is under way; a job of it in any other stage is replaced. Returns the
    // new job, or nothing when the running one goes on.
    InstallJob* enqueue(InstallRequest request, bool verifyOnly);
    // The job of the product in the list.
    Q_INVOKABLE ostrel::hub::InstallJob* job(const QString& productId) const;
    InstallJob* job(const std::string& productId) const;
    // The list, oldest first.
    std::vector<InstallJob*> jobs() const;

    // Starts queued jobs, oldest first, while fewer than maxConcurrentJobs run.
    Q_INVOKABLE void pumpQueue();
    // Stops a job that is getting its download; it shows paused at once and keeps what it has.
    Q_INVOKABLE bool pause(ostrel::hub::InstallJob* job);
    // Queues a paused job again; its download continues where it stopped.
    Q_INVOKABLE bool resume(ostrel::hub::InstallJob* job);
    // Queues a failed job again.
    Q_INVOKABLE bool retry(ostrel::hub::InstallJob* job);
    // Stops the job if it runs, drops its resume data and removes it from the list.
    Q_INVOKABLE void cancel(ostrel::hub::InstallJob* job);
    // Removes installed and failed jobs; queued, paused and running ones stay.
    Q_INVOKABLE void clearFinished();
    // Moves the product's installed items to the Trash under the install lock, and says so.
    QCoro::Task<> uninstall(QString productId);

    // The paused jobs of the last run are listed (the file is read off the GUI thread).
    bool restored() const { return restored_; }

signals:
    void countChanged();
    void restoredChanged();

private:
    // Jobs may still be referred to by the screens when they leave the list.
    struct DeleteLater {
        void operator()(InstallJob* job) const;
    };
    using JobHandle = std::unique_ptr<InstallJob, DeleteLater>;

    void run(InstallJob* job);
    QCoro::Task<> drive(InstallJob* job, std::stop_token stop);
    void settle(InstallJob* job, std::exception_ptr failure);
    void interrupt(InstallJob* job, std::optional<std::string> resumeData);
    void fail(InstallJob* job, std::exception_ptr failure);
    void jobFinished(InstallJob* job);
    void announce(const InstallJob& job);
    void announceUninstall(const std::vector<std::string>& leftInPlace) const;
    void flash(Banner::Tone tone, const QString& text) const;
    bool requeue(InstallJob* job, InstallStage::Kind from);

    bool listed(const InstallJob* job) const;
    InstallJob* append(JobHandle job);
    void remove(InstallJob* job);
    void rowChanged(InstallJob* job);
    int runningCount() const;
    // A job is under way or a Kit call holds the lock: the lock must stay.
    bool busy() const;
    void releaseLockIfIdle();
    std::optional<std::string> resumeArgument(const InstallJob& job) const;

    QCoro::Task<> restore();
    // The paused jobs, in list order; with `stoppingDownloadsToo` also downloads being stopped.
    std::vector<PausedJob> pausedList(bool stoppingDownloadsToo) const;
    void forget(const InstallJob* job);
    void keepPaused();
    QCoro::Task<> writePaused();

    // Runs a blocking Kit call on the Kit's threads, counted so the destructor can wait for it.
    template <class F>
    auto onKit(F work);

    InstallPipeline& pipeline_;
    std::optional<InstallLock>& lock_;
    InstallLedger& ledger_;
    const std::filesystem::path pausedFile_;
    const JobEvents events_;
    std::vector<JobHandle> jobs_;         // the list, oldest first
    std::vector<JobHandle> leaving_;      // removed from the list while their task still ends
    std::vector<const InstallJob*> kept_; // paused, or resumed from a pause and not yet done
    int uninstalls_ = 0;                  // uninstalls holding the lock
    bool restored_ = false;
    bool writing_ = false; // the paused jobs are being written, or read at the start
    bool writeAgain_ = false;
    WorkInFlight inFlight_;
};

} // namespace ostrel::hub
