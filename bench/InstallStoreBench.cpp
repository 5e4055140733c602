// Installing a signed package of about 512 MB in 7,000 files served over HTTPS on 127.0.0.1, as
// the hub does it for a store release (the pinned downloader streaming to a partial file, then
// the install pipeline: size, kind, the package's signature and checksums, expansion with every
// limit, every bundle verified, placed through a journal and verified again where it lands,
// the ledger), against the least a plain fetch-unpack-copy does with the same tools: curl of
// the file, bsdtar -x of the archive and its payload, cp -a into place. The target is at most
// 1.3 times the plain path. The pipeline's memory above the process's idle size is reported as
// a counter (peak resident set, reset before each round); its target is 64 MB. The store's one
// small request for the download address is left out: there is no store here.
#include "ApplePki.h"
#include "Install/InstallPipeline.h"
#include "LocalHttpsServer.h"
#include "SamplePackage.h"
#include "TlsChains.h"
#include "Util/Subprocess.h"
#include "Util/Uuid.h"
#include "Util/XdgFolders.h"

#include <fstream>

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {

using namespace ostrel;
namespace fs = std::filesystem;

constexpr size_t folderCount = 70;
using bench::fileSize;
using bench::filesPerFolder;
constexpr int64_t payloadBytes = int64_t(folderCount) * filesPerFolder * fileSize;
const std::string host = "dl.files.bench.test";

// The package, and an HTTPS server handing it out from disk in 256 KiB pieces.
struct ServedPackage {
    fs::path folder = fs::temp_directory_path() / ("ostrel-store-bench-" + std::to_string(::getpid()));
    fs::path package = folder / "Echo.pkg";
    fixtures::ApplePki pki;
    fixtures::TlsChain chain = fixtures::makeTlsChain(folder / "tls", {.hostNames = {host}});
    std::unique_ptr<test::LocalHttpsServer> server;

    ServedPackage() {
        fs::create_directories(folder);
        bench::writeSamplePackage(folder, package, pki, folderCount);

        server = std::make_unique<test::LocalHttpsServer>(chain);
        server->routes().Get("/Echo.pkg", [this](const httplib::Request&, httplib::Response& response) {
            auto in = std::make_shared<std::ifstream>(package, std::ios::binary);
            response.set_content_provider(fs::file_size(package), "application/octet-stream",
                                          [in](size_t offset, size_t length, httplib::DataSink& sink) {
                                              std::string piece(std::min<size_t>(length, 256 * 1024), '\0');
                                              in->seekg(static_cast<std::streamoff>(offset));
                                              in->read(piece.data(), static_cast<std::streamsize>(piece.size()));
                                              return sink.write(piece.data(), static_cast<size_t>(in->gcount()));
                                          });
        });
        server->start();
    }
    ~ServedPackage() { fs::remove_all(folder); }

    int64_t size() const { return static_cast<int64_t>(fs::file_size(package)); }
};

const ServedPackage& served() {
    static const ServedPackage instance;
    return instance;
}

struct Round {
    fs::path root;
    explicit Round(const fs::path& base) : root(base / ("round-" + newUuidString())) { fs::create_directories(root); }
    ~Round() { fs::remove_all(root); }
};

int64_t statusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field))
            return std::stoll(line.substr(std::string(field).size()));
    return 0;
}

// Forgets the process's peak so far, so the next reading covers one round only.
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void hubStoreInstall(benchmark::State& state) {
    const ServedPackage& set = served();
    const CodeVerifier verifier(SignaturePolicy::ostrel(), signature::TrustSettings{set.pki.anchors()});
    const auto downloader = std::make_shared<Downloader>(
        HostPolicy{.apiHost = "api.bench.test", .assetHosts = {}, .downloadDomains = {"files.bench.test"}},
        PinnedTrust{{}, {{"files.bench.test", {set.chain.rootPin}}}},
        PinnedCurl::Routing{.caBundle = set.chain.root, .connectTo = {{host, set.server->address()}}});
    int64_t peakAboveIdle = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            Round round(set.folder);
            InstallPipeline pipeline(
                Extractor{.verifier = verifier},
                BundleInstaller{
                    .verifier = verifier, .home = round.root / "home", .applications = round.root / "Applications"},
                std::make_shared<InstallLedger>(XdgFolders::makePrivate(round.root / "data")), round.root / "work");
            const InstallRequest request{
                "echo", "Echo", "1.0", {"Echo.pkg", "echo-1.0", Platform::mac, set.size(), {}}};
            const fs::path download = XdgFolders::makePrivate(round.root / "download") / "Echo.pkg";
            resetPeak();
            const int64_t idle = statusKilobytes("VmRSS:");
            state.ResumeTiming();
            downloader->download(Url("https://" + host + "/Echo.pkg"), std::nullopt, download, set.size(), {});
            benchmark::DoNotOptimize(pipeline.installFile(request, download, {}));
            state.PauseTiming();
            peakAboveIdle = std::max(peakAboveIdle, statusKilobytes("VmHWM:") - idle);
        }
        state.ResumeTiming();
    }
    state.counters["peak_above_idle_MB"] = double(peakAboveIdle) / 1024.0;
    state.SetBytesProcessed(int64_t(state.iterations()) * payloadBytes);
}

void plainFetchUnpackAndCopy(benchmark::State& state) {
    const ServedPackage& set = served();
    for (auto _ : state) {
        state.PauseTiming();
        {
            Round round(set.folder);
            const fs::path fetched = round.root / "Echo.pkg";
            const fs::path expanded = round.root / "expanded";
            const fs::path payload = round.root / "payload";
            const fs::path destination = round.root / "home/Library/Audio/Plug-Ins/VST3";
            for (const auto& folder : {expanded, payload, destination})
                fs::create_directories(folder);
            state.ResumeTiming();
            Subprocess::check("/usr/bin/curl",
                              {"-sS", "--fail", "--cacert", set.chain.root.string(), "--connect-to",
                               host + ":443:" + set.server->address(), "-o", fetched.string(),
                               "https://" + host + "/Echo.pkg"},
                              600);
            Subprocess::check("/usr/bin/bsdtar", {"-x", "-f", fetched.string(), "-C", expanded.string()}, 300);
            Subprocess::check("/usr/bin/bsdtar",
                              {"-x", "-f", (expanded / "Echo.pkg/Payload").string(), "-C", payload.string()}, 300);
            Subprocess::check("/usr/bin/cp", {"-a", payload.string(), (destination / "Echo.vst3").string()}, 300);
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * payloadBytes);
}

BENCHMARK(hubStoreInstall)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(plainFetchUnpackAndCopy)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
