#pragma once

#include "Util/Error.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace ostrel::PathSafety {

// Whether `child` lies at or below `root`, after resolving symbolic links
// along both paths and removing "." and "..". A sibling that merely shares a
// prefix ("bc" beside "b") is not contained.
bool isContained(const std::filesystem::path& child, const std::filesystem::path& root);

// A symbolic link whose target leaves the tree; what() reads
// "<name> links outside the archive".
class EscapingLink : public Error {
public:
    explicit EscapingLink(std::string linkName);
    const std::string& linkName() const { return linkName_; }

private:
    std::string linkName_;
};

// Throws EscapingLink for the first symbolic link in the tree whose target
// leaves it. Links that stay inside, relative or absolute, are fine.
// File-system errors propagate.
void assertNoEscapingLinks(const std::filesystem::path& root);

// Bytes held by the tree's entries, links counting nothing; unreadable entries are skipped.
int64_t treeSize(const std::filesystem::path& root);

// A single file name safe to create from outside text: not empty, not
// hidden, no path separator or NUL, not "..", at most 255 characters. Bundle
// names also need a bundle kind's extension (isAcceptableBundleName).
bool isAcceptableFileName(const std::string& name);

// A file name made from outside text: control characters and path separators
// become "_", surrounding white space and leading dots go, at most 200
// characters; `fallback` when nothing usable is left.
std::string sanitizedFileName(const std::string& name, const std::string& fallback);

} // namespace ostrel::PathSafety
