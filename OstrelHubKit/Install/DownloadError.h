#pragma once

#include "Util/Error.h"

#include <optional>
#include <string>

namespace ostrel {

// Why a download was refused or failed, with the sentence a person sees.
class DownloadError : public Error {
public:
    enum class Kind { httpStatus, insecureRedirect, tooLarge };

    static DownloadError httpStatus(int status);
    static DownloadError insecureRedirect(std::string url);
    static DownloadError tooLarge();

    Kind kind() const { return kind_; }
    int status() const { return status_; }
    const std::string& url() const { return url_; }
    bool operator==(const DownloadError& other) const {
        return kind_ == other.kind_ && status_ == other.status_ && url_ == other.url_;
    }

private:
    DownloadError(Kind kind, int status, std::string url, const std::string& message);
    Kind kind_;
    int status_;
    std::string url_;
};

// The transfer was stopped before it finished. With resume data, a later
// download of the same request continues where this one stopped.
class DownloadInterrupted : public Error {
public:
    explicit DownloadInterrupted(std::optional<std::string> resumeData)
        : Error("The download was paused."), resumeData_(std::move(resumeData)) {}
    const std::optional<std::string>& resumeData() const { return resumeData_; }

private:
    std::optional<std::string> resumeData_;
};

} // namespace ostrel
