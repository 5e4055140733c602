#include "Verify/Signature/LinkContainment.h"

#include <array>
#include <deque>
#include <optional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

std::deque<std::string> components(const std::string& text) {
    std::deque<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            out.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

fs::path join(const fs::path& root, const std::vector<std::string>& parts) {
    fs::path p = root;
    for (const auto& part : parts)
        p /= part;
    return p;
}

// The link's text when `p` is a link; absent when it is anything else or missing.
std::optional<std::string> linkText(const fs::path& p) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return std::nullopt;
    std::array<char, 4096> buffer{};
    ssize_t n = ::readlink(p.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<size_t>(n) >= buffer.size())
        return std::string("/"); // unreadable or oversized: treat as leaving the tree
    return std::string(buffer.data(), static_cast<size_t>(n));
}

} // namespace

LinkContainment resolveLinkInside(const fs::path& treeRoot, const std::string& link) {
    std::vector<std::string> at;
    std::deque<std::string> pending = components(link);
    // The walk starts at the link itself, so the first hop expands it.
    int hops = 0;
    while (!pending.empty()) {
        std::string part = std::move(pending.front());
        pending.pop_front();
        if (part == ".")
            continue;
        if (part == "..") {
            if (at.empty())
                return LinkContainment::outside;
            at.pop_back();
            continue;
        }
        at.push_back(part);
        // Only components already shown to be real folders are on the path, so
        // this lstat never passes through a link.
        auto text = linkText(join(treeRoot, at));
        if (!text)
            continue;
        if (++hops > maxLinkHops)
            return LinkContainment::tooDeep;
        if (text->empty())
            return LinkContainment::outside;
        if (text->front() == '/')
            return LinkContainment::absolute;
        at.pop_back();
        auto expanded = components(*text);
        pending.insert(pending.begin(), expanded.begin(), expanded.end());
    }
    return LinkContainment::inside;
}

} // namespace ostrel
