#include "Verify/Signature/ResourceSealCheck.h"

#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/LinkContainment.h"
#include "Verify/Signature/SignatureDefect.h"

#include <algorithm>
#include <array>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using Kind = SealIssue::Kind;

std::vector<std::string> sortedNames(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    if (error)
        throw SignatureDefect("the folder " + dir.filename().string() + " cannot be read");
    std::sort(names.begin(), names.end());
    return names;
}

std::string readLinkText(const fs::path& p) {
    std::array<char, 4096> buffer{};
    ssize_t n = ::readlink(p.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<size_t>(n) >= buffer.size())
        return {};
    return std::string(buffer.data(), static_cast<size_t>(n));
}

class SealWalker {
public:
    SealWalker(const BundleLayout& layout, const CodeResources& seal, fs::path containmentRoot)
        : layout_(layout), seal_(seal), containmentRoot_(std::move(containmentRoot)) {
        excluded_ = {"_CodeSignature", "CodeResources", "_MASReceipt"};
        if (auto exe = layout.mainExecutableKey())
            excluded_.insert(*exe);
    }

    SealReport run() {
        if (layout_.shape == BundleLayout::Shape::deep)
            checkBundleRoot();
        if (layout_.shape == BundleLayout::Shape::framework)
            checkFrameworkRoot();
        walk(layout_.contents(), "", 0);
        for (const auto& [key, entry] : seal_.files) {
            if (seen_.contains(key))
                continue;
            if (entry.optional)
                report_.optionalMissing.push_back(layout_.shown(key));
            else
                issue(Kind::missing, key);
        }
        return std::move(report_);
    }

private:
    void issue(Kind kind, const std::string& key) { report_.issues.push_back({kind, layout_.shown(key)}); }

    // A deep bundle's root holds only its Contents folder (Finder litter aside).
    void checkBundleRoot() {
        for (const auto& name : sortedNames(layout_.root))
            if (name != "Contents" && name != ".DS_Store")
                rootItemAdded(name);
    }

    // A framework's root holds only Versions and links into the current version
    // of the same name ("Core" -> "Versions/Current/Core"); the seal covers
    // only the version folder, so anything else there would be unsealed.
    void checkFrameworkRoot() {
        for (const auto& name : sortedNames(layout_.root)) {
            fs::path item = layout_.root / name;
            bool expected = name == "Versions" ? fs::is_directory(fs::symlink_status(item))
                                               : readLinkText(item) == "Versions/Current/" + name;
            if (!expected && name != ".DS_Store")
                rootItemAdded(name);
        }
    }

    // Something unsealed at the bundle root; a link there that leaves the
    // bundle is reported as that, the graver fault.
    void rootItemAdded(const std::string& name) {
        fs::path item = layout_.root / name;
        if (fs::is_symlink(fs::symlink_status(item))) {
            if (auto issue = linkIssue(item, name)) {
                report_.issues.push_back(*issue);
                return;
            }
        }
        report_.issues.push_back({Kind::added, name});
    }

    std::optional<SealIssue> linkIssue(const fs::path& item, std::string shown) const {
        std::string relative = item.lexically_relative(containmentRoot_).generic_string();
        return SealIssue::forLink(resolveLinkInside(containmentRoot_, relative), std::move(shown));
    }

    void walk(const fs::path& dir, const std::string& prefix, int depth) {
        if (depth > ResourceSealCheck::maxDepth)
            throw SignatureDefect("the bundle's folders are nested too deeply");
        for (const auto& name : sortedNames(dir))
            visit(dir / name, prefix.empty() ? name : prefix + "/" + name, depth);
    }

    void visit(const fs::path& item, const std::string& key, int depth) {
        if (excluded_.contains(key))
            return;
        struct stat st {};
        if (::lstat(item.c_str(), &st) != 0) {
            issue(Kind::unsupportedKind, key);
            return;
        }
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
            issue(Kind::unsupportedKind, key);
            return;
        }
        const ResourceRule* rule = seal_.rules.match(key);
        if (S_ISLNK(st.st_mode))
            checkContainment(item, key);
        if (S_ISDIR(st.st_mode)) {
            visitFolder(item, key, rule, depth);
            return;
        }
        if (rule == nullptr || rule->omit)
            return;
        seen_.insert(key);
        auto sealed = seal_.files.find(key);
        if (sealed == seal_.files.end()) {
            // The Info.plist is sealed by its own slot in the CodeDirectory;
            // some seals list it as a resource too, some do not.
            if (key != layout_.infoPlistKey())
                issue(Kind::added, key);
        } else if (S_ISLNK(st.st_mode))
            compareLink(item, key, sealed->second);
        else
            compareFile(item, key, sealed->second);
    }

    void visitFolder(const fs::path& item, const std::string& key, const ResourceRule* rule, int depth) {
        if (rule != nullptr && rule->omit)
            return;
        bool bundleLike = item.filename().string().find('.') != std::string::npos;
        if (rule == nullptr || !rule->nested || !bundleLike) {
            walk(item, key, depth + 1);
            return;
        }
        seen_.insert(key);
        auto sealed = seal_.files.find(key);
        if (sealed == seal_.files.end())
            issue(Kind::added, key);
        else if (sealed->second.kind != SealedResource::Kind::nestedCode)
            issue(Kind::kindChanged, key);
        else
            addNested(item, key, sealed->second);
    }

    void addNested(const fs::path& item, const std::string& key, const SealedResource& sealed) {
        report_.nested.push_back({layout_.shown(key), item, sealed.cdhash, sealed.requirement});
    }

    void checkContainment(const fs::path& item, const std::string& key) {
        if (auto found = linkIssue(item, layout_.shown(key)))
            report_.issues.push_back(*found);
    }

    void compareLink(const fs::path& item, const std::string& key, const SealedResource& sealed) {
        if (sealed.kind != SealedResource::Kind::symlink)
            issue(Kind::kindChanged, key);
        else if (readLinkText(item) != sealed.symlinkTarget)
            issue(Kind::linkChanged, key);
    }

    void compareFile(const fs::path& item, const std::string& key, const SealedResource& sealed) {
        if (sealed.kind == SealedResource::Kind::nestedCode) {
            addNested(item, key, sealed);
            return;
        }
        if (sealed.kind != SealedResource::Kind::file) {
            issue(Kind::kindChanged, key);
            return;
        }
        std::vector<const EVP_MD*> mds;
        std::vector<const std::vector<uint8_t>*> expected;
        if (sealed.sha1) {
            mds.push_back(EVP_sha1());
            expected.push_back(&*sealed.sha1);
        }
        if (sealed.sha256) {
            mds.push_back(EVP_sha256());
            expected.push_back(&*sealed.sha256);
        }
        UniqueFd fd = FileBytes::openRegular(item, layout_.shown(key));
        auto actual = FileBytes::digestAll(fd.get(), mds);
        for (size_t i = 0; i < mds.size(); ++i) {
            if (actual[i] != *expected[i]) {
                issue(Kind::modified, key);
                return;
            }
        }
    }

    const BundleLayout& layout_;
    const CodeResources& seal_;
    fs::path containmentRoot_;
    std::set<std::string> excluded_;
    std::set<std::string> seen_;
    SealReport report_;
};

} // namespace

SealReport ResourceSealCheck::run(const BundleLayout& layout, const CodeResources& seal,
                                  const std::optional<fs::path>& containmentRoot) {
    if (seal.legacy)
        throw SignatureDefect("the resource seal is in the obsolete version 1 form");
    if (!seal.rules.strict())
        throw SignatureDefect("the resource seal's rules leave files unsealed");
    return SealWalker(layout, seal, containmentRoot.value_or(layout.root)).run();
}

} // namespace ostrel
