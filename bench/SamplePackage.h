#pragma once

// A signed installer package of one plug-in full of sample-like files, as the
// install benchmarks use it: folderCount folders of 100 files of 75 KiB.
#include "ApplePki.h"
#include "BundleBuilder.h"
#include "BundleSigner.h"
#include "FixtureFiles.h"
#include "MachOBuilder.h"
#include "ReleasePackage.h"

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

namespace ostrel::bench {

constexpr size_t filesPerFolder = 100;
constexpr size_t fileSize = 75 * 1024;

// Noise that compresses a little, as audio does.
inline std::string sampleBytes(std::mt19937_64& random) {
    std::string content(fileSize, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>((i % 4 == 0) ? 0 : random() & 0x3F);
    return content;
}

// Writes `package` (signed by the PKI's installer identity, its bundle by the application
// identity), using `folder` for the sources, which are removed again.
inline void writeSamplePackage(const std::filesystem::path& folder, const std::filesystem::path& package,
                               const fixtures::ApplePki& pki, size_t folderCount) {
    fixtures::buildThinMachO({"arm64"}, folder / "Echo");
    const signature::Bytes code = fixtures::readBytes(folder / "Echo");
    const std::filesystem::path bundle = fixtures::BundleBuilder(folder / "source", "Echo.vst3")
                                             .identifier("com.ostrel.echo")
                                             .version("1.0", "1.0")
                                             .executable("Echo", std::string(code.begin(), code.end()))
                                             .build();
    std::mt19937_64 random(11);
    for (size_t f = 0; f < folderCount; ++f)
        for (size_t i = 0; i < filesPerFolder; ++i)
            fixtures::writeText(bundle / "Contents/Resources" / ("set" + std::to_string(f)) /
                                    ("sample" + std::to_string(i) + ".wav"),
                                sampleBytes(random));
    fixtures::SignOptions options;
    options.identifier = "com.ostrel.echo";
    options.identity = pki.application;
    fixtures::BundleSigner(options).sign(bundle);
    fixtures::ReleasePackage release;
    release.component({.bundle = bundle, .installFolder = "/Library/Audio/Plug-Ins/VST3"}).signedBy(pki.installer);
    release.write(package, folder / "scratch");
    std::filesystem::remove_all(folder / "source");
    std::filesystem::remove_all(folder / "scratch");
}

} // namespace ostrel::bench
