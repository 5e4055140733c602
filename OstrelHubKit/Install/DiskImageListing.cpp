#include "Install/DiskImageListing.h"

#include "Install/InstallError.h"

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <utility>

namespace ostrel {
namespace fs = std::filesystem;
namespace {

// The members follow a line of dashes; each is a block of "Key = value" lines.
using Block = std::map<std::string, std::string>;

[[noreturn]] void unreadable(const std::string& why) {
    throw InstallError::unsafeArchive("the disk image's contents could not be read (" + why + ")");
}

std::vector<Block> blocks(std::string_view listing) {
    std::istringstream lines{std::string(listing)};
    std::vector<Block> result;
    bool inMembers = false;
    Block current;
    for (std::string line; std::getline(lines, line);) {
        if (!inMembers) {
            inMembers = line == "----------";
            continue;
        }
        if (line.empty()) {
            if (!current.empty())
                result.push_back(std::exchange(current, {}));
            continue;
        }
        const auto separator = line.find(" = ");
        const std::string key = line.substr(0, separator);
        const std::string value = separator == std::string::npos ? "" : line.substr(separator + 3);
        // A name with a line break inside could forge keys of its own; refuse rather than guess.
        if (!current.emplace(key, value).second)
            unreadable("a member is described twice");
    }
    if (!current.empty())
        result.push_back(current);
    return result;
}

int64_t sizeOf(const std::string& text) {
    if (text.empty())
        return 0;
    try {
        size_t used = 0;
        const long long value = std::stoll(text, &used);
        if (used != text.size() || value < 0)
            unreadable("bad size " + text);
        return value;
    } catch (const std::logic_error&) {
        unreadable("bad size " + text);
    }
}

bool climbs(const fs::path& path) {
    for (const auto& part : path)
        if (part == "..")
            return true;
    return false;
}

// Whether a relative link target, taken from the link's own folder, stays inside the volume.
bool staysInside(const fs::path& link, const std::string& target) {
    if (target.empty() || fs::path(target).is_absolute())
        return false;
    const fs::path resolved = (fs::path("/volume") / link.parent_path() / target).lexically_normal();
    const std::string text = resolved.string();
    return text == "/volume" || text.starts_with("/volume/");
}

} // namespace

DiskImageListing DiskImageListing::parse(std::string_view listing) {
    DiskImageListing result;
    for (const auto& block : blocks(listing)) {
        const auto path = block.find("Path");
        if (path == block.end())
            continue;
        Member member;
        member.path = path->second;
        const auto mode = block.find("Mode");
        member.isLink = mode != block.end() && mode->second.starts_with('l');
        member.isFolder = block.contains("Folder") && block.at("Folder") == "+";
        if (const auto target = block.find("Symbolic Link"); target != block.end())
            member.linkTarget = target->second;
        if (const auto size = block.find("Size"); size != block.end())
            member.size = sizeOf(size->second);
        result.members_.push_back(std::move(member));
    }
    return result;
}

void DiskImageListing::assertSafe() const {
    std::set<fs::path> links;
    for (const auto& m : members_)
        if (m.isLink)
            links.insert(fs::path(m.path).lexically_normal());
    for (const auto& m : members_) {
        const fs::path path(m.path);
        if (path.empty() || path.is_absolute() || climbs(path))
            throw InstallError::unsafeArchive(m.path + " would land outside the disk image's folder");
        if (m.isLink && !staysInside(path, m.linkTarget))
            throw InstallError::unsafeArchive(path.filename().string() + " links outside the archive");
        for (fs::path parent = path.lexically_normal().parent_path(); !parent.empty(); parent = parent.parent_path())
            if (links.contains(parent))
                throw InstallError::unsafeArchive(m.path + " would be written through a link");
    }
}

int64_t DiskImageListing::totalSize() const {
    int64_t total = 0;
    for (const auto& m : members_)
        if (__builtin_add_overflow(total, m.size, &total))
            return INT64_MAX;
    return total;
}

} // namespace ostrel
