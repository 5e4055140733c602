#include "Install/InstallLock.h"

#include "Install/AppDirectories.h"

#include <fcntl.h>
#include <sys/file.h>

namespace ostrel {

InstallLock::InstallLock(const std::filesystem::path& directory) : path_((directory / "install.lock").string()) {}

InstallLock InstallLock::standard() {
    return InstallLock(AppDirectories::support());
}

bool InstallLock::tryLock() {
    if (descriptor_)
        return true;
    UniqueFd fd(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd)
        return false;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return false;
    descriptor_ = std::move(fd);
    return true;
}

void InstallLock::unlock() {
    if (!descriptor_)
        return;
    ::flock(descriptor_.get(), LOCK_UN);
    descriptor_.reset();
}

} // namespace ostrel
