// Verifying a signed bundle of about 200 MB in 3,200 files versus one plain
// SHA-256 pass over the same files. Both read every byte once; the verifier
// adds the walk, the rules, the signature and the per-file bookkeeping. The
// target is at most 1.3 times the plain pass.
#include "ApplePki.h"
#include "BundleBuilder.h"
#include "BundleSigner.h"
#include "FixtureFiles.h"
#include "MachOBuilder.h"
#include "Util/OpenSslPtr.h"
#include "Util/UniqueFd.h"
#include "Verify/CodeVerifier.h"
#include "Verify/Signature/FileBytes.h"

#include <filesystem>
#include <random>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace ostrel;
namespace fs = std::filesystem;

constexpr size_t folderCount = 32;
constexpr size_t filesPerFolder = 100;
constexpr size_t fileSize = 64 * 1024;

struct SignedBundle {
    fs::path folder;
    fs::path bundle;
    std::vector<fs::path> files;
    fixtures::ApplePki pki;

    SignedBundle() {
        folder = fs::temp_directory_path() / ("ostrel-bundle-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        fixtures::buildThinMachO({"arm64"}, folder / "Echo");
        signature::Bytes code = fixtures::readBytes(folder / "Echo");
        bundle = fixtures::BundleBuilder(folder, "Echo.vst3")
                     .identifier("com.ostrel.echo")
                     .executable("Echo", std::string(code.begin(), code.end()))
                     .build();
        std::mt19937_64 random(7);
        std::string content(fileSize, '\0');
        for (size_t f = 0; f < folderCount; ++f)
            for (size_t i = 0; i < filesPerFolder; ++i) {
                for (auto& byte : content)
                    byte = static_cast<char>(random());
                files.push_back(bundle / "Contents/Resources" / ("set" + std::to_string(f)) /
                                ("sample" + std::to_string(i) + ".wav"));
                fixtures::writeText(files.back(), content);
            }
        fixtures::SignOptions options;
        options.identity = pki.application;
        fixtures::BundleSigner(options).sign(bundle);
    }
    ~SignedBundle() { fs::remove_all(folder); }
};

const SignedBundle& signedBundle() {
    static const SignedBundle instance;
    return instance;
}

void verifyBundle(benchmark::State& state) {
    const SignedBundle& set = signedBundle();
    CodeVerifier verifier(SignaturePolicy::ostrel(), signature::TrustSettings{set.pki.anchors()});
    for (auto _ : state)
        benchmark::DoNotOptimize(verifier.verify(set.bundle));
    state.SetBytesProcessed(int64_t(state.iterations()) * folderCount * filesPerFolder * fileSize);
}

void plainSha256(benchmark::State& state) {
    const SignedBundle& set = signedBundle();
    const EVP_MD* sha256 = EVP_sha256();
    for (auto _ : state)
        for (const auto& path : set.files) {
            UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
            benchmark::DoNotOptimize(FileBytes::digestRange(fd.get(), 0, FileBytes::sizeOf(fd.get()), sha256));
        }
    state.SetBytesProcessed(int64_t(state.iterations()) * folderCount * filesPerFolder * fileSize);
}

BENCHMARK(verifyBundle)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(plainSha256)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

BENCHMARK_MAIN();
