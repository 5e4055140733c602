#include "SignedReleases.h"

#include "BundleBuilder.h"
#include "BundleSigner.h"
#include "DemoText.h"
#include "DiskImageSigner.h"
#include "MachOBuilder.h"
#include "ReleasePackage.h"
#include "UdifImage.h"
#include "Util/AtomicFile.h"
#include "Util/OpenSslPtr.h"

#include <map>

#include <openssl/pem.h>

namespace ostrel::demo {

namespace {

namespace fs = std::filesystem;

// Whether the certificate in `file` stays valid for at least another week.
bool validForAWeek(const fs::path& file) {
    BioPtr bio(BIO_new_file(file.c_str(), "r"));
    X509Ptr certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    time_t nextWeek = std::time(nullptr) + 7 * fixtures::ApplePki::day;
    return certificate && X509_cmp_time(X509_get0_notAfter(certificate.get()), &nextWeek) > 0;
}

// The PKI of an earlier start while its signing identities stay valid, else a new one.
fixtures::ApplePki keptPki(const fs::path& folder, const DemoLog& log) {
    if (validForAWeek(folder / "application.pem") && validForAWeek(folder / "installer.pem")) {
        try {
            return fixtures::ApplePki::readPem(folder);
        } catch (const std::exception& error) {
            log(std::string("demo code-signing PKI unreadable, made again: ") + error.what());
        }
    }
    fixtures::ApplePki pki;
    // The folder holds private keys: the user's alone.
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all);
    pki.writePem(folder);
    return pki;
}

std::string text(const fs::path& file) {
    return AtomicFile::read(file, 1024 * 1024).value_or("");
}

// Where the installer puts each kind of bundle.
std::string installFolder(const std::string& bundleName) {
    static const std::map<std::string, std::string> folders{
        {".app", "/Applications"},
        {".vst3", "/Library/Audio/Plug-Ins/VST3"},
        {".component", "/Library/Audio/Plug-Ins/Components"},
        {".clap", "/Library/Audio/Plug-Ins/CLAP"},
        {".vst", "/Library/Audio/Plug-Ins/VST"},
    };
    return folders.at(fs::path(bundleName).extension().string());
}

// Everything a product's release is made from, so that a kept file is known to be current.
std::string productStamp(const CatalogueProduct& product) {
    std::string stamp = "id=" + product.id + "\nname=" + product.name + "\nversion=" + product.version +
                        "\nkind=" + product.kind + "\nrelease=" + product.release +
                        "\nbuild=" + std::to_string(product.build) + "\nbundles=";
    for (const auto& name : product.bundleNames())
        stamp += name + ";";
    return stamp + "\n";
}

} // namespace

SignedReleases::SignedReleases(const fs::path& stateFolder, DemoLog log)
    : pki_(keptPki(stateFolder / "code-signing", log)), rootFile_(stateFolder / rootFileName),
      signerStamp_(text(stateFolder / "code-signing" / "application.pem") +
                   text(stateFolder / "code-signing" / "installer.pem")) {
    AtomicFile::write(rootFile_, text(stateFolder / "code-signing" / "root.pem"), fs::perms(0644));
    log("demo releases are signed for team " + std::string(fixtures::ApplePki::team) +
        "; their code-signing anchor: " + rootFile_.string());
}

ReleaseMaker SignedReleases::maker() const {
    return [this](const CatalogueProduct& product, Platform platform, const fs::path& folder) {
        return make(product, platform, folder);
    };
}

// One universal-enough arm64 Mach-O serves as every bundle's executable: linking is the slow
// part, so it is made once and kept in the releases folder.
std::string SignedReleases::codeBytes(const fs::path& folder) const {
    std::call_once(codeOnce_, [&] {
        const fs::path file = folder / "code" / "demo-arm64";
        if (!fs::exists(file)) {
            fs::create_directories(file.parent_path());
            const fs::path partial = file.string() + ".partial";
            fixtures::buildThinMachO({.architecture = "arm64", .kind = "bundle"}, partial);
            fs::rename(partial, file);
        }
        const auto bytes = fixtures::readBytes(file);
        code_.assign(bytes.begin(), bytes.end());
    });
    return code_;
}

fs::path SignedReleases::stagedBundles(const CatalogueProduct& product, const fs::path& staging,
                                       const std::string& code) const {
    fs::remove_all(staging);
    fixtures::SignOptions sign{.identity = pki_.application};
    for (const auto& bundleName : product.bundleNames()) {
        const std::string extension = fs::path(bundleName).extension().string();
        const fs::path bundle = fixtures::BundleBuilder(staging, bundleName)
                                    .identifier("com.ostrel." + product.id + extension)
                                    .version(product.version, product.version)
                                    .executable(product.name, code)
                                    .file("Resources/ReadMe.txt", product.name + " " + product.version + " build " +
                                                                      std::to_string(product.build) + "\n")
                                    .build();
        const auto signedCode = fixtures::BundleSigner(sign).sign(bundle);
        if (extension == ".app")
            fixtures::BundleSigner::staple(bundle, signedCode);
    }
    return staging;
}

void SignedReleases::package(const CatalogueProduct& product, const fs::path& staging, const fs::path& scratch,
                             const fs::path& output) const {
    if (product.release == "zip") {
        zipFolderEntries(staging, product.bundleNames(), output);
    } else if (product.release == "dmg") {
        fixtures::writeSignedImage(
            fixtures::UdifImage::fromFolder(staging),
            fixtures::SignOptions{.identifier = "com.ostrel." + product.id + ".dmg", .identity = pki_.application},
            output);
    } else {
        fixtures::ReleasePackage release;
        for (const auto& bundleName : product.bundleNames())
            release.component({.bundle = staging / bundleName, .installFolder = installFolder(bundleName)});
        release.signedBy(pki_.installer).write(output, scratch);
    }
}

fs::path SignedReleases::make(const CatalogueProduct& product, Platform platform, const fs::path& folder) const {
    if (platform != Platform::mac)
        return makeZipRelease(product, platform, folder);
    const std::string stem = product.id + "-" + lowercased(rawValue(platform));
    const fs::path file = folder / (stem + "." + product.release);
    const fs::path stampFile = folder / (stem + ".stamp");
    const std::string stamp = productStamp(product) + signerStamp_;
    if (fs::exists(file) && text(stampFile) == stamp)
        return file;
    const std::string code = codeBytes(folder);
    const fs::path staging = stagedBundles(product, folder / "staging" / stem, code);
    // Written beside its place and renamed into it, so a file being served is never rewritten.
    const fs::path partial = folder / (stem + ".partial");
    package(product, staging, folder / "scratch" / stem, partial);
    fs::rename(partial, file);
    AtomicFile::write(stampFile, stamp, fs::perms(0644));
    fs::remove_all(staging);
    fs::remove_all(folder / "scratch" / stem);
    return file;
}

} // namespace ostrel::demo
