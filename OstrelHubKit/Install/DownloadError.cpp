#include "Install/DownloadError.h"

namespace ostrel {

DownloadError::DownloadError(Kind kind, int status, std::string url, const std::string& message)
    : Error(message), kind_(kind), status_(status), url_(std::move(url)) {}

DownloadError DownloadError::httpStatus(int status) {
    return {Kind::httpStatus, status, {}, "The download server returned " + std::to_string(status) + "."};
}

DownloadError DownloadError::insecureRedirect(std::string url) {
    const std::string message = "The download tried to leave HTTPS (" + url + ") and was stopped.";
    return {Kind::insecureRedirect, 0, std::move(url), message};
}

DownloadError DownloadError::tooLarge() {
    return {Kind::tooLarge, 0, {}, "The download grew past the size the store published and was stopped."};
}

} // namespace ostrel
