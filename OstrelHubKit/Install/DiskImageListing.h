#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// What 7-Zip's technical listing ("7zz l -slt") says a disk image holds. We
// read it before extracting anything so that a crafted image is refused
// before a single file is written: no absolute or upward member paths, no
// link whose target leaves the volume, no member written through a link, and
// no more bytes than the limit.
class DiskImageListing {
public:
    struct Member {
        std::string path;
        bool isLink = false;
        bool isFolder = false;
        std::string linkTarget;
        int64_t size = 0;
    };

    // Parses the listing; throws InstallError::unsafeArchive when it cannot
    // be read with certainty (a member described twice over, a bad size).
    static DiskImageListing parse(std::string_view listing);

    // Throws InstallError::unsafeArchive naming the first member that could
    // land outside the extraction folder.
    void assertSafe() const;
    // The sum of the members' sizes.
    int64_t totalSize() const;

    const std::vector<Member>& members() const { return members_; }

private:
    std::vector<Member> members_;
};

} // namespace ostrel
