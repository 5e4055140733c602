#include "Platform/Trash.h"

#include "Util/AtomicFile.h"
#include "Util/UniqueFd.h"
#include "Util/Url.h"
#include "Util/XdgFolders.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void throwFileError(const char* what, const fs::path& path) {
    throw fs::filesystem_error(what, path, std::error_code(errno, std::generic_category()));
}

dev_t deviceOf(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        throwFileError("could not read", path);
    return info.st_dev;
}

// The top folder of the file system that holds `path`: the last ancestor on the same device.
fs::path mountTop(const fs::path& path) {
    const dev_t device = deviceOf(path);
    fs::path top = path.parent_path();
    while (top.has_relative_path() && deviceOf(top.parent_path()) == device)
        top = top.parent_path();
    return top;
}

// Everything but unreserved characters and "/" is percent-encoded, as the Trash info format asks.
std::string percentEncoded(const std::string& path) {
    static const AllowedCharacters allowed =
        AllowedCharacters::of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~/");
    return percentEncode(path, allowed);
}

std::string localTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// "Echo.vst3", then "Echo.2.vst3", "Echo.3.vst3", ...
std::string candidateName(const fs::path& original, int attempt) {
    if (attempt == 1)
        return original.filename().string();
    const std::string stem = original.stem().string();
    return (stem.empty() ? original.filename().string() : stem) + "." + std::to_string(attempt) +
           original.extension().string();
}

void writeAll(int fd, const std::string& text, const fs::path& file) {
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throwFileError("could not write", file);
}

// Reserves a free name by creating its info file exclusively, which is what
// keeps two processes trashing the same name at once apart.
struct Reservation {
    fs::path info;
    fs::path target;
};

Reservation reserve(const fs::path& trash, const fs::path& item) {
    const std::string record =
        "[Trash Info]\nPath=" + percentEncoded(item.string()) + "\nDeletionDate=" + localTimestamp() + "\n";
    for (int attempt = 1;; ++attempt) {
        const std::string name = candidateName(item, attempt);
        const fs::path info = trash / "info" / (name + ".trashinfo");
        UniqueFd fd(::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!fd && errno == EEXIST)
            continue;
        if (!fd)
            throwFileError("could not record the item in the Trash", info);
        // A leftover item without an info file also occupies the name.
        if (fs::exists(fs::symlink_status(trash / "files" / name))) {
            ::unlink(info.c_str());
            continue;
        }
        writeAll(fd.get(), record, info);
        return {info, trash / "files" / name};
    }
}

fs::path prepare(const fs::path& trash) {
    XdgFolders::makePrivate(trash / "files");
    XdgFolders::makePrivate(trash / "info");
    return trash;
}

// The Trash that can take the item by a rename.
fs::path trashFor(const fs::path& item) {
    const fs::path home = Trash::homeTrash();
    fs::create_directories(home.parent_path());
    if (deviceOf(item) == deviceOf(home.parent_path()))
        return prepare(home);
    return prepare(mountTop(item) / (".Trash-" + std::to_string(::getuid())));
}

fs::path infoFileOf(const fs::path& trashed) {
    return trashed.parent_path().parent_path() / "info" / (trashed.filename().string() + ".trashinfo");
}

// The original path an info file records, or nothing when it names none.
std::optional<fs::path> recordedPath(const fs::path& info) {
    const auto text = AtomicFile::read(info, 64 * 1024);
    if (!text)
        return std::nullopt;
    const std::string key = "\nPath=";
    const auto start = text->find(key);
    if (start == std::string::npos)
        return std::nullopt;
    const auto end = text->find('\n', start + key.size());
    return fs::path(percentDecode(text->substr(start + key.size(), end - start - key.size())));
}

// The Trash folders an item of this place could have gone to.
std::vector<fs::path> trashesFor(const fs::path& place) {
    std::vector<fs::path> trashes{Trash::homeTrash()};
    std::error_code error;
    fs::path existing = place;
    while (!existing.empty() && !fs::exists(existing, error))
        existing = existing.parent_path();
    try {
        const fs::path volume = mountTop(existing) / (".Trash-" + std::to_string(::getuid()));
        if (volume != trashes.front())
            trashes.push_back(volume);
    } catch (const fs::filesystem_error&) {
    }
    return trashes;
}

} // namespace

fs::path Trash::homeTrash() {
    return XdgFolders::dataHome() / "Trash";
}

fs::path Trash::moveToTrash(const fs::path& item) {
    return moveToTrash(item, item);
}

fs::path Trash::moveToTrash(const fs::path& item, const fs::path& recordedAs) {
    const fs::path absolute = fs::absolute(item).lexically_normal();
    const Reservation place = reserve(trashFor(absolute), fs::absolute(recordedAs).lexically_normal());
    if (::rename(absolute.c_str(), place.target.c_str()) != 0) {
        const int error = errno;
        ::unlink(place.info.c_str());
        errno = error;
        throwFileError("could not move the item to the Trash", absolute);
    }
    return place.target;
}

std::vector<fs::path> Trash::itemsFrom(const fs::path& original) {
    const fs::path wanted = fs::absolute(original).lexically_normal();
    std::vector<fs::path> items;
    for (const auto& trash : trashesFor(wanted)) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(trash / "info", error)) {
            const std::string name = entry.path().filename().string();
            if (!name.ends_with(".trashinfo") || recordedPath(entry.path()) != wanted)
                continue;
            const fs::path item = trash / "files" / name.substr(0, name.size() - std::string(".trashinfo").size());
            if (fs::exists(fs::symlink_status(item, error)))
                items.push_back(item);
        }
    }
    return items;
}

std::vector<fs::path> Trash::removeOrphanedRecords(const std::function<bool(const fs::path&)>& ours) {
    std::vector<fs::path> removed;
    const fs::path trash = homeTrash();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(trash / "info", error)) {
        const std::string name = entry.path().filename().string();
        if (!name.ends_with(".trashinfo"))
            continue;
        const fs::path item = trash / "files" / name.substr(0, name.size() - std::string(".trashinfo").size());
        if (fs::exists(fs::symlink_status(item, error)))
            continue;
        const auto original = recordedPath(entry.path());
        if (original && ours(*original) && ::unlink(entry.path().c_str()) == 0)
            removed.push_back(entry.path());
    }
    return removed;
}

void Trash::putBack(const fs::path& trashed, const fs::path& destination) {
    // Never over something that took the item's place meanwhile.
    if (::renameat2(AT_FDCWD, trashed.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) != 0)
        throwFileError("could not put the item back", destination);
    ::unlink(infoFileOf(trashed).c_str());
}

} // namespace ostrel
