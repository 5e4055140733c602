// Verifying one large signed Mach-O file (an 80 MB arm64 executable) versus
// one plain SHA-256 pass over the same file, read in 64 KiB blocks as
// `openssl dgst` reads it. The verifier hashes every byte once (the code pages) and adds the
// structure, the CMS signature, its chain and the requirement; the target is
// at most 1.3 times the plain pass.
#include "ApplePki.h"
#include "CodeSigner.h"
#include "MachOBuilder.h"
#include "Util/UniqueFd.h"
#include "Verify/CodeVerifier.h"
#include "Verify/Signature/FileBytes.h"

#include <filesystem>
#include <stdexcept>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace ostrel;
namespace fs = std::filesystem;

constexpr size_t dataBytes = 80 * 1024 * 1024;

struct SignedExecutable {
    fs::path folder;
    fs::path file;
    fixtures::ApplePki pki;

    SignedExecutable() {
        folder = fs::temp_directory_path() / ("ostrel-macho-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        file = folder / "Large";
        fixtures::buildThinMachO({"arm64", "executable", dataBytes}, file);
        fixtures::SignOptions options;
        options.identity = pki.application;
        fixtures::signMachO(file, options);
    }
    ~SignedExecutable() { fs::remove_all(folder); }
    SignedExecutable(const SignedExecutable&) = delete;
    SignedExecutable& operator=(const SignedExecutable&) = delete;
};

const SignedExecutable& executable() {
    static const SignedExecutable made;
    return made;
}

void verifyLargeMachO(benchmark::State& state) {
    const SignedExecutable& made = executable();
    CodeVerifier verifier(SignaturePolicy::ostrel(), signature::TrustSettings{made.pki.anchors()});
    for (auto _ : state)
        benchmark::DoNotOptimize(verifier.verify(made.file));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(made.file)));
}

void plainSha256(benchmark::State& state) {
    const SignedExecutable& made = executable();
    for (auto _ : state) {
        UniqueFd fd(::open(made.file.c_str(), O_RDONLY | O_CLOEXEC));
        benchmark::DoNotOptimize(FileBytes::digestRange(fd.get(), 0, FileBytes::sizeOf(fd.get()), EVP_sha256()));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(made.file)));
}

BENCHMARK(verifyLargeMachO)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(plainSha256)->Unit(benchmark::kMillisecond)->MinTime(2);

} // namespace

BENCHMARK_MAIN();
