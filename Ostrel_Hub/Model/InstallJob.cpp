#include "Model/InstallJob.h"

#include <algorithm>

namespace ostrel::hub {
namespace {

using Kind = InstallStage::Kind;
using Stage = InstallJob::Stage;

// The screens' enumeration mirrors the Kit's one to one.
static_assert(static_cast<int>(Stage::queued) == static_cast<int>(Kind::queued));
static_assert(static_cast<int>(Stage::resolving) == static_cast<int>(Kind::resolving));
static_assert(static_cast<int>(Stage::downloading) == static_cast<int>(Kind::downloading));
static_assert(static_cast<int>(Stage::paused) == static_cast<int>(Kind::paused));
static_assert(static_cast<int>(Stage::verifying) == static_cast<int>(Kind::verifying));
static_assert(static_cast<int>(Stage::installing) == static_cast<int>(Kind::installing));
static_assert(static_cast<int>(Stage::installed) == static_cast<int>(Kind::installed));
static_assert(static_cast<int>(Stage::failed) == static_cast<int>(Kind::failed));

} // namespace

InstallJob::InstallJob(InstallRequest request, bool verifyOnly, QObject* parent)
    : QObject(parent), request_(std::move(request)), verifyOnly_(verifyOnly) {}

QString InstallJob::productId() const {
    return QString::fromStdString(request_.productId);
}

QString InstallJob::productName() const {
    return QString::fromStdString(request_.productName);
}

QString InstallJob::version() const {
    return QString::fromStdString(request_.version);
}

InstallJob::Stage InstallJob::stageKind() const {
    return static_cast<Stage>(stage_.kind);
}

double InstallJob::fraction() const {
    if (stage_.kind == Kind::installed)
        return 1.0;
    if (stage_.kind != Kind::downloading || stage_.expected <= 0)
        return 0.0;
    return std::clamp(static_cast<double>(stage_.received) / static_cast<double>(stage_.expected), 0.0, 1.0);
}

QString InstallJob::failureReason() const {
    return stage_.kind == Kind::failed ? QString::fromStdString(stage_.message) : QString();
}

bool InstallJob::isFinished() const {
    return stage_.kind == Kind::installed || stage_.kind == Kind::failed;
}

void InstallJob::setStage(InstallStage stage) {
    if (stage == stage_)
        return;
    stage_ = std::move(stage);
    emit stageChanged();
}

void InstallJob::setResumeData(std::optional<std::string> data, bool heldByPipeline) {
    const bool had = hasResumeData();
    resumeData_ = std::move(data);
    resumeHeld_ = heldByPipeline;
    if (had != hasResumeData())
        emit resumeDataChanged();
}

std::stop_token InstallJob::start() {
    stop_.emplace();
    emit runningChanged();
    return stop_->get_token();
}

void InstallJob::finish() {
    if (!stop_)
        return;
    stop_.reset();
    emit runningChanged();
}

void InstallJob::requestStop() {
    if (stop_)
        stop_->request_stop();
}

} // namespace ostrel::hub
