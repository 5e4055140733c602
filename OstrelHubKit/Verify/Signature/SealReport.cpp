#include "Verify/Signature/SealReport.h"

namespace ostrel {

std::string SealIssue::detail() const {
    switch (kind) {
    case Kind::added:
        return path + " was added after signing";
    case Kind::missing:
        return "a sealed file is missing: " + path;
    case Kind::modified:
        return path + " was modified after signing";
    case Kind::kindChanged:
        return path + " was replaced by a different kind of item after signing";
    case Kind::linkChanged:
        return path + " link target was changed after signing";
    case Kind::linkOutside:
        return path + " link points outside the bundle";
    case Kind::linkAbsolute:
        return path + " link points to an absolute path";
    case Kind::unsupportedKind:
        return path + " is not a file, folder or link";
    }
    return path;
}

std::optional<SealIssue> SealIssue::forLink(LinkContainment where, std::string path) {
    switch (where) {
    case LinkContainment::inside:
        return std::nullopt;
    case LinkContainment::absolute:
        return SealIssue{Kind::linkAbsolute, std::move(path)};
    case LinkContainment::outside:
    case LinkContainment::tooDeep:
        break;
    }
    return SealIssue{Kind::linkOutside, std::move(path)};
}

std::optional<std::string> SealReport::firstDetail() const {
    if (issues.empty())
        return std::nullopt;
    return issues.front().detail();
}

} // namespace ostrel
