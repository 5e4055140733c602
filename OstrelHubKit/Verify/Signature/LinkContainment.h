#pragma once

#include <filesystem>
#include <string>

namespace ostrel {

// Where a symbolic link inside a tree leads, worked out from the tree's own
// entries only: each component of the target is applied to the link's folder,
// and a link met on the way is expanded from its own text. Nothing is resolved
// through the host file system, so a link can never be judged by what lies
// outside the tree.
enum class LinkContainment {
    inside,   // every step stays inside the tree (the end point need not exist)
    absolute, // the link, or a link on its way, has an absolute target
    outside,  // a ".." climbs above the tree's root
    tooDeep,  // more links on the way than we follow
};

// `link` is the link's path relative to `treeRoot`, in generic form ("Contents/Frameworks/Lib").
LinkContainment resolveLinkInside(const std::filesystem::path& treeRoot, const std::string& link);

// How many links one resolution may pass through, like the system's own loop limit.
inline constexpr int maxLinkHops = 32;

} // namespace ostrel
