#pragma once

#include "Install/InstallRequest.h"
#include "Install/InstallStage.h"

#include <QObject>
#include <QString>
#include <optional>
#include <stop_token>
#include <string>

namespace ostrel::hub {

// One install, update or release check the user started, as the Downloads screen shows it. The
// request is fixed; the stage moves as the pipeline reports and as the queue decides. Lives on
// the GUI thread; the queue that owns it is the only writer.
class InstallJob : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString productId READ productId CONSTANT)
    Q_PROPERTY(QString productName READ productName CONSTANT)
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(bool verifyOnly READ verifyOnly CONSTANT)
    Q_PROPERTY(Stage stage READ stageKind NOTIFY stageChanged)
    Q_PROPERTY(qint64 received READ received NOTIFY stageChanged)
    Q_PROPERTY(qint64 expected READ expected NOTIFY stageChanged)
    Q_PROPERTY(double fraction READ fraction NOTIFY stageChanged)
    Q_PROPERTY(QString failureReason READ failureReason NOTIFY stageChanged)
    Q_PROPERTY(bool isActive READ isActive NOTIFY stageChanged)
    Q_PROPERTY(bool isFinished READ isFinished NOTIFY stageChanged)
    Q_PROPERTY(bool hasResumeData READ hasResumeData NOTIFY resumeDataChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY runningChanged)

public:
    // The stage's kind, in the order of InstallStage::Kind.
    enum class Stage { queued, resolving, downloading, paused, verifying, installing, installed, failed };
    Q_ENUM(Stage)

    InstallJob(InstallRequest request, bool verifyOnly, QObject* parent = nullptr);

    const InstallRequest& request() const { return request_; }
    QString productId() const;
    QString productName() const;
    QString version() const;
    bool verifyOnly() const { return verifyOnly_; }

    const InstallStage& stage() const { return stage_; }
    Stage stageKind() const;
    qint64 received() const { return stage_.received; }
    qint64 expected() const { return stage_.expected; }
    // Of the download while downloading; 1 once installed; 0 otherwise.
    double fraction() const;
    QString failureReason() const;
    bool isActive() const { return stage_.isActive(); }
    bool isFinished() const;
    // Emits stageChanged once, and only when the stage really changes.
    void setStage(InstallStage stage);

    // Resume data of this job's interrupted download, as the pipeline handed it over.
    const std::optional<std::string>& resumeData() const { return resumeData_; }
    // Whether the pipeline keeps a paused download of this job in its work folder, as after a
    // restart, when only the pipeline holds the data.
    bool resumeHeld() const { return resumeHeld_; }
    bool hasResumeData() const { return resumeData_.has_value() || resumeHeld_; }
    void setResumeData(std::optional<std::string> data, bool heldByPipeline);

    // A task runs this job: from start() to finish(). Each run has a stop source of its own.
    bool isRunning() const { return stop_.has_value(); }
    std::stop_token start();
    void finish();
    void requestStop();
    bool stopRequested() const { return stop_ && stop_->stop_requested(); }

signals:
    void stageChanged();
    void resumeDataChanged();
    void runningChanged();

private:
    const InstallRequest request_;
    const bool verifyOnly_;
    InstallStage stage_{};
    std::optional<std::string> resumeData_;
    bool resumeHeld_ = false;
    std::optional<std::stop_source> stop_;
};

} // namespace ostrel::hub
