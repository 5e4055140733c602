#include "DemoServices.h"

#include "DemoRoutes.h"
#include "TlsChains.h"
#include "Util/AtomicFile.h"
#include "Util/OpenSslPtr.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include <httplib.h>
#include <openssl/pem.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ostrel::demo {

namespace {

namespace fs = std::filesystem;

constexpr time_t keepAliveSeconds = 2; // short, so that stopping does not wait on idle connections

// The state folder holds the CA's keys: private to the user when we make it. A folder that
// already exists keeps its permissions (it may be one the user chose, such as /tmp).
const fs::path& prepared(const fs::path& folder) {
    if (fs::create_directories(folder))
        fs::permissions(folder, fs::perms::owner_all);
    return folder;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names)
        text += name + "\n";
    return text;
}

// Whether the leaf certificate in `file` stays valid for at least another day.
bool validForADay(const fs::path& file) {
    BioPtr bio(BIO_new_file(file.c_str(), "r"));
    X509Ptr leaf(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    time_t tomorrow = std::time(nullptr) + 24 * 60 * 60;
    return leaf && X509_cmp_time(X509_get0_notAfter(leaf.get()), &tomorrow) > 0;
}

// The authority of an earlier start while it still serves these hosts, so that a browser told
// to trust it (and a hub given the same port) keeps working across restarts; else a new one.
fixtures::TlsChain authority(const fs::path& folder, const DemoHosts& hosts, const DemoLog& log) {
    const fixtures::TlsChain kept{folder / "root.pem",
                                  folder / "intermediate.pem",
                                  folder / "leaf.pem",
                                  folder / "leaf-key.pem",
                                  folder / "chain.pem",
                                  "",
                                  "",
                                  ""};
    const auto stamp = folder / "hosts.txt";
    if (AtomicFile::read(stamp, 64 * 1024) == joined(hosts.all()) && fs::exists(kept.root) &&
        fs::exists(kept.intermediate) && fs::exists(kept.leafKey) && fs::exists(kept.serverChain) &&
        validForADay(kept.leaf)) {
        auto chain = kept;
        chain.rootPin = fixtures::spkiPinOfPem(kept.root);
        chain.intermediatePin = fixtures::spkiPinOfPem(kept.intermediate);
        chain.leafPin = fixtures::spkiPinOfPem(kept.leaf);
        log("demo CA kept from the last start: " + kept.root.string());
        return chain;
    }
    auto chain = fixtures::makeTlsChain(prepared(folder), {.hostNames = hosts.all()});
    AtomicFile::write(stamp, joined(hosts.all()));
    log("demo CA made: " + chain.root.string() + " (a browser that should open the demo pages must trust it)");
    return chain;
}

// Marks a request that announces no body length (no Content-Length, not chunked) as having an
// empty body, as HTTP/1.1 has it. The server library would otherwise wait for a body until its
// read time-out and answer a bare 400, which is what `curl -X POST` met at the control address.
void noLengthMeansNoBody(const httplib::Request& request) {
    if (!request.has_header("Content-Length") && !request.has_header("Transfer-Encoding"))
        const_cast<httplib::Request&>(request).headers.emplace("Content-Length", "0");
}

std::unique_ptr<httplib::SSLServer> serverFor(const fixtures::TlsChain& chain, const DemoLog& log) {
    auto server = std::make_unique<httplib::SSLServer>([&](SSL_CTX& context) {
        return SSL_CTX_use_certificate_chain_file(&context, chain.serverChain.c_str()) == 1 &&
               SSL_CTX_use_PrivateKey_file(&context, chain.leafKey.c_str(), SSL_FILETYPE_PEM) == 1 &&
               SSL_CTX_set_min_proto_version(&context, TLS1_2_VERSION) == 1;
    });
    if (!server->is_valid())
        throw std::runtime_error("The TLS certificate of the demo services could not be loaded.");
    server->set_keep_alive_timeout(keepAliveSeconds);
    // SO_REUSEADDR alone: a restart may take the port while old connections linger, but a second
    // instance cannot share it, as the library's default SO_REUSEPORT would let it do silently.
    server->set_socket_options([](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // Byte ranges are answered by the download route itself, which also honours If-Range (the
    // server library does not). The library hands out its own, non-const request as const.
    server->set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
        const_cast<httplib::Request&>(request).ranges.clear();
        noLengthMeansNoBody(request);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server->set_logger([log](const httplib::Request& request, const httplib::Response& response) {
        log(HostRouter::hostOf(request) + " " + request.method + " " + request.path + " " +
            std::to_string(response.status));
    });
    return server;
}

// Binds `port` of 127.0.0.1 (0: any free port) and returns the port bound.
uint16_t bound(httplib::SSLServer& server, uint16_t port) {
    errno = 0;
    const int result =
        port == 0 ? server.bind_to_any_port("127.0.0.1") : (server.bind_to_port("127.0.0.1", port) ? port : -1);
    const int error = errno;
    if (result > 0)
        return static_cast<uint16_t>(result);
    const std::string address = "127.0.0.1" + (port ? ":" + std::to_string(port) : std::string());
    if (error == EADDRINUSE)
        throw std::runtime_error("The port " + address + " is already in use, perhaps by another " +
                                 "ostrel-demo-services; stop that one or choose another port with --port.");
    throw std::runtime_error("The demo services could not listen on " + address +
                             (error ? " (" + std::string(std::strerror(error)) + ")." : "."));
}

} // namespace

fs::path DemoServices::defaultStateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return fs::path(state) / "ostrel-demo-services";
    return fs::temp_directory_path() / ("ostrel-demo-services-" + std::to_string(getuid()));
}

DemoServices::DemoServices(DemoServicesOptions options)
    : options_(std::move(options)), hosts_(),
      chain_(authority(prepared(options_.stateFolder) / "tls", hosts_, options_.log)),
      server_(serverFor(chain_, options_.log)), port_(bound(*server_, options_.port)),
      catalogue_(DemoCatalogue::load(options_.catalogueFile)), signing_(options_.stateFolder, options_.log),
      releases_(catalogue_, options_.stateFolder / "releases",
                options_.makeRelease ? options_.makeRelease : signing_.maker()),
      store_(catalogue_,
             DemoStore::Settings{.tokenLifetime = options_.tokenLifetime,
                                 .settleDelay = options_.settleDelay,
                                 .checkoutBase = DemoHosts::https(hosts_.store) + "/checkout/",
                                 .tokenKeyFile = options_.stateFolder / tokenKeyFileName},
             options_.log),
      identity_(catalogue_, store_, options_.stateFolder / tokenKeyFileName,
                options_.stateFolder / "identity-sessions.json", options_.log),
      reviews_(catalogue_, options_.log), images_(options_.stateFolder / "images"),
      hubUpdates_(options_.hubFolder, options_.stateFolder / "hub-update", DemoHosts::https(hosts_.downloads),
                  options_.log) {
    if (options_.pageSize < 1)
        throw std::invalid_argument("The inventory page size must be at least 1.");
    context_ = std::make_unique<DemoContext>(DemoContext{.hosts = hosts_,
                                                         .catalogue = catalogue_,
                                                         .releases = releases_,
                                                         .store = store_,
                                                         .identity = identity_,
                                                         .reviews = reviews_,
                                                         .faults = faults_,
                                                         .meter = meter_,
                                                         .stalls = stalls_,
                                                         .images = images_,
                                                         .log = options_.log,
                                                         .pageSize = options_.pageSize,
                                                         .stallLimit = options_.stallLimit,
                                                         .hubUpdates = hubUpdates_});
    addRoutes();

    // Pin the two authorities, as production pins the CAs and not the servers' own keys.
    const auto address = "127.0.0.1:" + std::to_string(port_);
    const auto config = hosts_.config({chain_.rootPin, chain_.intermediatePin}, chain_.root, address);
    configFile_ = options_.stateFolder / configFileName;
    AtomicFile::write(configFile_, config.toJson(), fs::perms::owner_read | fs::perms::owner_write);
}

void DemoServices::addRoutes() {
    router_ = std::make_unique<HostRouter>(*server_);
    addStoreRoutes(*router_, *context_);
    addCheckoutRoutes(*router_, *context_);
    addIdentityRoutes(*router_, *context_);
    addWebRoutes(*router_, *context_);
    addDownloadRoutes(*router_, *context_);
    addHubUpdateRoutes(*router_, *context_);
}

void DemoServices::start() {
    if (!thread_.joinable())
        thread_ = std::thread([this] {
            server_->listen_after_bind();
            served_ = true;
        });
}

void DemoServices::stop() {
    if (!thread_.joinable())
        return;
    while (!server_->is_running() && !served_) // stop() only ends a loop that has begun
        std::this_thread::yield();
    stalls_.close(); // stalled downloads would keep their server threads, and so stop(), waiting
    server_->stop();
    thread_.join();
}

DemoServices::~DemoServices() {
    stop();
}

} // namespace ostrel::demo
