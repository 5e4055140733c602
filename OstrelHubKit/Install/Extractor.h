#pragma once

#include "Install/ArtifactKind.h"
#include "Install/StagedBundle.h"
#include "Verify/CodeVerifier.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace ostrel {

// Turns a downloaded package, zip archive or disk image into staged bundles
// in the work folder, without ever running anything from it. Every expanded
// tree is checked for links that leave it and measured against the size
// limit before anything in it is used. Tools run only through Subprocess.
class Extractor {
public:
    // Largest total of expanded bytes accepted.
    int64_t maxExpandedBytes = 4'294'967'296;
    // Checks disk-image signatures; its team is also the one a package must be signed by.
    CodeVerifier verifier;
    // Whether an unsigned package or disk image is refused.
    bool requireSignedContainers = false;

    // Unpacks the artifact into staged bundles under work/"bundles".
    Extraction extract(const std::filesystem::path& artifact, ArtifactKind kind,
                       const std::filesystem::path& work) const;
    // The package's own signature checked, then expanded and staged.
    Extraction extractPackage(const std::filesystem::path& package, const std::filesystem::path& work,
                              const std::filesystem::path& staging) const;
    // The image's own signature checked, then its bundles copied out.
    Extraction extractDiskImage(const std::filesystem::path& image, const std::filesystem::path& work,
                                const std::filesystem::path& staging) const;
    // Accepts a package signed by the team's Developer ID Installer identity, or an unsigned
    // one unless signed containers are required; throws InstallError::untrustedContainer otherwise.
    void checkPackageSignature(const std::filesystem::path& package) const;

    // Expands a zip archive into work/"unzipped" and stages its bundles.
    Extraction extractZip(const std::filesystem::path& zip, const std::filesystem::path& work,
                          const std::filesystem::path& staging) const;

    // Expands a tar or zip archive of plain files into an existing folder: member names that
    // would land outside it are refused before anything is written, and the expanded tree is
    // checked for escaping links and measured against the size limit.
    void expandArchive(const std::filesystem::path& archive, const std::filesystem::path& into) const;

    // Expands a package whose signature was already checked into
    // work/"expanded" and stages what each component installs, noting scripts
    // it skipped. Payloads are unpacked by us; scripts stay packed and unrun.
    Extraction expandPackage(const std::filesystem::path& package, const std::filesystem::path& work,
                             const std::filesystem::path& staging) const;

    // Extracts a disk image whose signature was already checked into
    // work/"mount" and copies the bundles near its top out to staging. The
    // image's listing is checked before anything is written, and the mount
    // folder is gone again when this returns, whatever the outcome.
    Extraction copyFromDiskImage(const std::filesystem::path& image, const std::filesystem::path& work,
                                 const std::filesystem::path& staging) const;

    // Refuses a package whose components declare more than the limit, using a
    // shallow expansion in work/"flat" that is removed again.
    void checkPackageSize(const std::filesystem::path& package, const std::filesystem::path& work) const;
    // Refuses a zip whose listed total is above the limit or unreadable.
    void checkZipSize(const std::filesystem::path& zip) const;

    // The component folders of an expanded package: the root itself for a
    // flat component, else the children holding a PackageInfo, by name.
    static std::vector<std::filesystem::path> componentDirectories(const std::filesystem::path& root);
    // The installKBytes a PackageInfo declares; 0 when unreadable or absent.
    static int64_t installKBytes(const std::filesystem::path& packageInfo);

    struct FoundBundle {
        std::filesystem::path url;
        BundleKind kind;
        bool operator==(const FoundBundle&) const = default;
    };
    // Bundles in a tree down to `maxDepth` levels, sorted by name: links are
    // never followed, "__MACOSX" is skipped, bundles are not entered, and
    // names that could not be installed safely are left out.
    static std::vector<FoundBundle> findBundles(const std::filesystem::path& root, int maxDepth);

private:
    void checkExpandedTree(const std::filesystem::path& root) const;
    void expandPayload(const std::filesystem::path& component) const;
};

} // namespace ostrel
