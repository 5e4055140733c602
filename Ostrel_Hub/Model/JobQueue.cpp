#include "Model/JobQueue.h"

#include "Install/DownloadError.h"
#include "Model/FailureSentence.h"
#include "Model/Worker.h"
#include "Util/Log.h"

#include <QStringList>
#include <algorithm>

namespace ostrel::hub {
namespace {

using Kind = InstallStage::Kind;

// Said for a job whose pipeline failed in a way that carries no sentence of ours.
const std::string unfinishedInstall = "The install could not be finished.";

bool startingDownload(Kind kind) {
    return kind == Kind::queued || kind == Kind::resolving || kind == Kind::downloading;
}

// Started and not yet stopped by a pause: a new request for the product leaves it alone.
bool underWay(const InstallJob& job) {
    return job.isActive() || (job.isRunning() && job.stage().kind == Kind::queued);
}

template <class List>
auto find(List& list, const InstallJob* job) {
    return std::find_if(list.begin(), list.end(), [job](const auto& item) { return &*item == job; });
}

} // namespace

void JobQueue::DeleteLater::operator()(InstallJob* job) const {
    job->deleteLater();
}

template <class F>
auto JobQueue::onKit(F work) {
    return onWorker([ticket = inFlight_.enter(), work = std::move(work)]() mutable {
        struct Leave {
            WorkInFlight::Ticket& ticket;
            ~Leave() { ticket.leave(); }
        } leave{*ticket};
        return work();
    });
}

JobQueue::JobQueue(InstallPipeline& pipeline, std::optional<InstallLock>& lock, InstallLedger& ledger,
                   std::filesystem::path pausedJobsFile, JobEvents events, QObject* parent)
    : QAbstractListModel(parent), pipeline_(pipeline), lock_(lock), ledger_(ledger),
      pausedFile_(std::move(pausedJobsFile)), events_(std::move(events)) {
    restore();
}

JobQueue::~JobQueue() {
    for (const auto& job : jobs_)
        job->requestStop();
    for (const auto& job : leaving_)
        job->requestStop();
    inFlight_.waitUntilIdle();
    if (!restored_)
        return;
    // A download stopped by quitting waits in its work folder like a paused one: list it paused
    // next time. The last change may not have been written yet either.
    const auto list = pausedList(true);
    if (!writeAgain_ && list == pausedList(false))
        return;
    try {
        PausedJobs::write(pausedFile_, list);
    } catch (const std::exception& error) {
        Log::error(Log::Category::install, std::string("keeping the paused jobs: ") + error.what());
    }
}

// ---- The list ----

int JobQueue::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(jobs_.size());
}

QVariant JobQueue::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const InstallJob& job = *jobs_[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case ProductNameRole:
        return job.productName();
    case JobRole:
        return QVariant::fromValue(static_cast<QObject*>(const_cast<InstallJob*>(&job)));
    case ProductIdRole:
        return job.productId();
    case VersionRole:
        return job.version();
    case StageRole:
        return QVariant::fromValue(job.stageKind());
    case ReceivedRole:
        return job.received();
    case ExpectedRole:
        return job.expected();
    case FractionRole:
        return job.fraction();
    case FailureReasonRole:
        return job.failureReason();
    case VerifyOnlyRole:
        return job.verifyOnly();
    case IsActiveRole:
        return job.isActive();
    case IsRunningRole:
        return job.isRunning();
    case HasResumeDataRole:
        return job.hasResumeData();
    default:
        return {};
    }
}

QHash<int, QByteArray> JobQueue::roleNames() const {
    return {{JobRole, "job"},
            {ProductIdRole, "productId"},
            {ProductNameRole, "productName"},
            {VersionRole, "version"},
            {StageRole, "stage"},
            {ReceivedRole, "received"},
            {ExpectedRole, "expected"},
            {FractionRole, "fraction"},
            {FailureReasonRole, "failureReason"},
            {VerifyOnlyRole, "verifyOnly"},
            {IsActiveRole, "isActive"},
            {IsRunningRole, "isRunning"},
            {HasResumeDataRole, "hasResumeData"}};
}

std::vector<InstallJob*> JobQueue::jobs() const {
    std::vector<InstallJob*> list;
    for (const auto& job : jobs_)
        list.push_back(job.get());
    return list;
}

InstallJob* JobQueue::job(const std::string& productId) const {
    const auto found = std::find_if(jobs_.begin(), jobs_.end(),
                                    [&](const auto& job) { return job->request().productId == productId; });
    return found == jobs_.end() ? nullptr : found->get();
}

InstallJob* JobQueue::job(const QString& productId) const {
    return job(productId.toStdString());
}

bool JobQueue::listed(const InstallJob* job) const {
    return job != nullptr && find(jobs_, job) != jobs_.end();
}

InstallJob* JobQueue::append(JobHandle job) {
    InstallJob* added = job.get();
    for (const auto signal : {&InstallJob::stageChanged, &InstallJob::runningChanged, &InstallJob::resumeDataChanged})
        connect(added, signal, this, [this, added] { rowChanged(added); });
    const int row = rowCount();
    beginInsertRows({}, row, row);
    jobs_.push_back(std::move(job));
    endInsertRows();
    emit countChanged();
    return added;
}

void JobQueue::remove(InstallJob* job) {
    const auto found = find(jobs_, job);
    if (found == jobs_.end())
        return;
    const int row = static_cast<int>(found - jobs_.begin());
    beginRemoveRows({}, row, row);
    JobHandle removed = std::move(*found);
    jobs_.erase(found);
    endRemoveRows();
    emit countChanged();
    removed->disconnect(this);
    // A task still ends through its job; the job goes once it has.
    if (removed->isRunning())
        leaving_.push_back(std::move(removed));
    forget(job);
}

void JobQueue::rowChanged(InstallJob* job) {
    const auto found = find(jobs_, job);
    if (found == jobs_.end())
        return;
    const QModelIndex changed = index(static_cast<int>(found - jobs_.begin()));
    emit dataChanged(changed, changed);
}

// ---- Queueing and running ----

InstallJob* JobQueue::enqueue(InstallRequest request, bool verifyOnly) {
    if (const InstallJob* current = job(request.productId); current && underWay(*current))
        return nullptr;
    while (InstallJob* replaced = job(request.productId)) {
        replaced->requestStop();
        remove(replaced);
    }
    InstallJob* added = append(JobHandle(std::make_unique<InstallJob>(std::move(request), verifyOnly).release()));
    pumpQueue();
    return added;
}

int JobQueue::runningCount() const {
    return static_cast<int>(
        std::count_if(jobs_.begin(), jobs_.end(), [](const auto& job) { return job->isRunning(); }) + leaving_.size());
}

void JobQueue::pumpQueue() {
    // Counted afresh for every start: a start that fails at once finishes, and pumps, inside run.
    while (runningCount() < maxConcurrentJobs) {
        const auto next = std::find_if(jobs_.begin(), jobs_.end(), [](const auto& job) {
            return job->stage().kind == Kind::queued && !job->isRunning();
        });
        if (next == jobs_.end())
            return;
        run(next->get());
    }
}

void JobQueue::run(InstallJob* job) {
    // Release checks place nothing, so they never wait for or hold the lock.
    if (!job->verifyOnly() && lock_ && !lock_->tryLock()) {
        job->setStage(InstallStage::failed(lockedMessage.toStdString()));
        jobFinished(job);
        return;
    }
    drive(job, job->start());
}

std::optional<std::string> JobQueue::resumeArgument(const InstallJob& job) const {
    if (job.resumeData())
        return job.resumeData();
    if (job.resumeHeld())
        return std::nullopt; // the pipeline reads what it kept in its work folder
    // Data that names nothing: the download starts over, also when an earlier job of the
    // product left a paused download behind.
    return std::string{};
}

QCoro::Task<> JobQueue::drive(InstallJob* job, std::stop_token stop) {
    const QPointer<JobQueue> self(this);
    const QPointer<InstallJob> watched(job);
    const InstallRequest request = job->request();
    const bool verifyOnly = job->verifyOnly();
    const auto resume = resumeArgument(*job);
    // Called on a Kit thread while the call runs, when the job is still there: it leaves only
    // after its task has ended, and the queue waits for the call before it goes.
    const StageCallback reporter = [job](const InstallStage& stage) {
        QMetaObject::invokeMethod(
            job,
            [job, stage] {
                // A report that comes after a pause must not undo it.
                if (job->stage().kind != Kind::paused)
                    job->setStage(stage);
            },
            Qt::QueuedConnection);
    };
    // Each call is made before it is awaited: GCC 12 destroys the temporaries of a co_await
    // expression twice.
    auto call = onKit([pipeline = &pipeline_, request, verifyOnly, resume, reporter, stop] {
        if (verifyOnly)
            pipeline->verify(request, reporter, stop);
        else
            pipeline->run(request, resume, reporter, stop);
    });
    std::exception_ptr failure;
    try {
        co_await std::move(call);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !watched)
        co_return;
    settle(job, failure);
}

void JobQueue::settle(InstallJob* job, std::exception_ptr failure) {
    const bool stopped = job->stopRequested();
    job->finish();
    // A job removed while it ran goes once its task has been accounted for.
    JobHandle leaving;
    if (const auto found = find(leaving_, job); found != leaving_.end()) {
        leaving = std::move(*found);
        leaving_.erase(found);
    }
    if (!failure) {
        job->setResumeData(std::nullopt, false);
        job->setStage(InstallStage{Kind::installed});
        forget(job);
    } else {
        try {
            std::rethrow_exception(failure);
        } catch (const DownloadInterrupted& interrupted) {
            interrupt(job, interrupted.resumeData());
        } catch (const Cancelled&) {
            // Our own stop came after the download had ended: nothing to resume from.
            if (stopped)
                interrupt(job, std::nullopt);
            else
                fail(job, failure);
        } catch (...) {
            fail(job, failure);
        }
    }
    jobFinished(job);
}

void JobQueue::interrupt(InstallJob* job, std::optional<std::string> resumeData) {
    const bool held = resumeData.has_value();
    job->setResumeData(std::move(resumeData), held);
    // Resumed while it was stopping: it starts again once finished.
    if (job->stage().kind != Kind::queued)
        job->setStage(InstallStage{Kind::paused});
    if (listed(job) && std::find(kept_.begin(), kept_.end(), job) == kept_.end()) {
        kept_.push_back(job);
        keepPaused();
    }
}

void JobQueue::fail(InstallJob* job, std::exception_ptr failure) {
    job->setResumeData(std::nullopt, false);
    job->setStage(InstallStage::failed(failureSentence(failure, Log::Category::install, unfinishedInstall)));
    forget(job);
}

void JobQueue::jobFinished(InstallJob* job) {
    releaseLockIfIdle();
    if (events_.installedChanged)
        events_.installedChanged();
    announce(*job);
    pumpQueue();
}

void JobQueue::announce(const InstallJob& job) {
    const QString name = job.productName();
    const QString version = job.version();
    if (job.stage().kind == Kind::failed)
        flash(Banner::Tone::failure, name + QStringLiteral(": ") + job.failureReason());
    if (job.stage().kind != Kind::installed)
        return;
    if (job.verifyOnly()) {
        flash(Banner::Tone::success, name + QStringLiteral(" ") + version + QStringLiteral(" passed every check."));
        return;
    }
    flash(Banner::Tone::success, name + QStringLiteral(" ") + version + QStringLiteral(" is installed."));
    if (events_.notifyWhenInactive)
        events_.notifyWhenInactive(name + QStringLiteral(" is installed"),
                                   QStringLiteral("Version ") + version + QStringLiteral(" is ready to use."));
}

void JobQueue::flash(Banner::Tone tone, const QString& text) const {
    if (events_.flash)
        events_.flash(tone, text);
}

bool JobQueue::busy() const {
    const auto underWork = [](const auto& job) { return job->isActive() || job->isRunning(); };
    return uninstalls_ > 0 || !leaving_.empty() || std::any_of(jobs_.begin(), jobs_.end(), underWork);
}

void JobQueue::releaseLockIfIdle() {
    if (lock_ && !busy())
        lock_->unlock();
}

// ---- The screen's controls ----

bool JobQueue::pause(InstallJob* job) {
    if (!listed(job) || !job->isRunning() || !startingDownload(job->stage().kind))
        return false;
    job->requestStop();
    job->setStage(InstallStage{Kind::paused});
    return true;
}

bool JobQueue::requeue(InstallJob* job, Kind from) {
    if (!listed(job) || job->stage().kind != from)
        return false;
    job->setStage(InstallStage{Kind::queued});
    pumpQueue();
    return true;
}

bool JobQueue::resume(InstallJob* job) {
    return requeue(job, Kind::paused);
}

bool JobQueue::retry(InstallJob* job) {
    return requeue(job, Kind::failed);
}

void JobQueue::cancel(InstallJob* job) {
    if (!listed(job))
        return;
    job->requestStop();
    job->setResumeData(std::nullopt, false);
    remove(job);
    pumpQueue();
}

void JobQueue::clearFinished() {
    for (InstallJob* job : jobs())
        if (job->isFinished())
            remove(job);
}

QCoro::Task<> JobQueue::uninstall(QString productId) {
    if (lock_ && !lock_->tryLock()) {
        flash(Banner::Tone::failure, lockedMessage);
        co_return;
    }
    const QPointer<JobQueue> self(this);
    ++uninstalls_;
    std::vector<std::string> leftInPlace;
    std::exception_ptr failure;
    auto call = onKit([pipeline = &pipeline_, ledger = &ledger_, id = productId.toStdString()] {
        ledger->reload();
        return pipeline->uninstall(id);
    });
    try {
        leftInPlace = co_await std::move(call);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    --uninstalls_;
    if (failure) {
        if (events_.report)
            events_.report(failure);
    } else {
        if (events_.installedChanged)
            events_.installedChanged();
        announceUninstall(leftInPlace);
    }
    releaseLockIfIdle();
}

void JobQueue::announceUninstall(const std::vector<std::string>& leftInPlace) const {
    if (leftInPlace.empty()) {
        flash(Banner::Tone::info, QStringLiteral("Moved to the Trash."));
        return;
    }
    QStringList names;
    for (const auto& name : leftInPlace)
        names.push_back(QString::fromStdString(name));
    flash(Banner::Tone::failure, QStringLiteral("Left in place because they changed since install: ") +
                                     names.join(QStringLiteral(", ")) + QStringLiteral("."));
}

// ---- Paused jobs across runs ----

void JobQueue::forget(const InstallJob* job) {
    const auto found = std::find(kept_.begin(), kept_.end(), job);
    if (found == kept_.end())
        return;
    kept_.erase(found);
    keepPaused();
}

std::vector<PausedJob> JobQueue::pausedList(bool stoppingDownloadsToo) const {
    std::vector<PausedJob> list;
    for (const auto& job : jobs_) {
        const bool kept = std::find(kept_.begin(), kept_.end(), job.get()) != kept_.end();
        const bool stopping = stoppingDownloadsToo && job->isRunning() &&
                              (startingDownload(job->stage().kind) || job->stage().kind == Kind::paused);
        if (kept || stopping)
            list.push_back({job->request(), job->verifyOnly()});
    }
    return list;
}

void JobQueue::keepPaused() {
    writeAgain_ = true;
    if (!writing_)
        writePaused();
}

// One write at a time, the latest list last.
QCoro::Task<> JobQueue::writePaused() {
    const QPointer<JobQueue> self(this);
    writing_ = true;
    while (writeAgain_) {
        writeAgain_ = false;
        auto call = onKit([file = pausedFile_, list = pausedList(false)] { PausedJobs::write(file, list); });
        try {
            co_await std::move(call);
        } catch (const std::exception& error) {
            Log::error(Log::Category::install, std::string("keeping the paused jobs: ") + error.what());
        }
        if (!self)
            co_return;
    }
    writing_ = false;
}

QCoro::Task<> JobQueue::restore() {
    const QPointer<JobQueue> self(this);
    writing_ = true; // the file is not replaced before it has been read
    std::vector<std::pair<PausedJob, bool>> found;
    auto call = onKit([file = pausedFile_, pipeline = &pipeline_] {
        std::vector<std::pair<PausedJob, bool>> listed;
        for (auto& paused : PausedJobs::read(file)) {
            const bool held = pipeline->holdsResumeData(paused.request);
            listed.emplace_back(std::move(paused), held);
        }
        return listed;
    });
    try {
        found = co_await std::move(call);
    } catch (const std::exception& error) {
        Log::error(Log::Category::install, std::string("reading the paused jobs: ") + error.what());
    }
    if (!self)
        co_return;
    for (auto& [paused, held] : found) {
        // A product queued anew meanwhile keeps its new job.
        if (job(paused.request.productId)) {
            writeAgain_ = true;
            continue;
        }
        auto restoredJob =
            JobHandle(std::make_unique<InstallJob>(std::move(paused.request), paused.verifyOnly).release());
        restoredJob->setStage(InstallStage{Kind::paused});
        restoredJob->setResumeData(std::nullopt, held);
        kept_.push_back(restoredJob.get());
        append(std::move(restoredJob));
    }
    restored_ = true;
    emit restoredChanged();
    writing_ = false;
    if (writeAgain_)
        writePaused();
}

} // namespace ostrel::hub
