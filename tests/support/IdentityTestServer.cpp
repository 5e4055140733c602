#include "IdentityTestServer.h"

#include "Services/CurlTransport.h"
#include "TlsChains.h"

namespace ostrel::test {

IdentityTestServer::IdentityTestServer(const std::filesystem::path& folder) {
    const auto chain = fixtures::makeTlsChain(folder, {.hostNames = {host}});
    server_ = std::make_unique<httplib::SSLServer>([chain](SSL_CTX& context) {
        return SSL_CTX_use_certificate_chain_file(&context, chain.serverChain.c_str()) == 1 &&
               SSL_CTX_use_PrivateKey_file(&context, chain.leafKey.c_str(), SSL_FILETYPE_PEM) == 1;
    });
    // The socket listens from here on; connections wait in its backlog until start().
    const int port = server_->bind_to_any_port("127.0.0.1");
    server_->set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
        const std::lock_guard guard(lock_);
        ++arrivals_;
        return httplib::Server::HandlerResponse::Unhandled;
    });
    transport_ = std::make_shared<CurlTransport>(
        PinnedTrust{{{host, {chain.rootPin}}}, {}},
        CurlTransport::Options{.caBundle = chain.root, .connectTo = {{host, "127.0.0.1:" + std::to_string(port)}}});
}

IdentityTestServer::~IdentityTestServer() {
    // Closes the transport's kept-alive connections first, so the server's workers need not
    // wait for them to time out.
    transport_.reset();
    if (!thread_.joinable())
        return;
    while (!server_->is_running()) // stop() only ends a loop that has begun
        std::this_thread::yield();
    server_->stop();
    thread_.join();
}

void IdentityTestServer::start() {
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

httplib::Server::Handler IdentityTestServer::recording(httplib::Server::Handler handler) {
    return [this, handler = std::move(handler)](const httplib::Request& request, httplib::Response& response) {
        {
            const std::lock_guard guard(lock_);
            received_.push_back({request.method, request.target, request.headers, request.body});
        }
        handler(request, response);
    };
}

void IdentityTestServer::get(const std::string& pattern, httplib::Server::Handler handler) {
    server_->Get(pattern, recording(std::move(handler)));
}

void IdentityTestServer::post(const std::string& pattern, httplib::Server::Handler handler) {
    server_->Post(pattern, recording(std::move(handler)));
}

size_t IdentityTestServer::arrivals() {
    const std::lock_guard guard(lock_);
    return arrivals_;
}

std::vector<IdentityTestServer::Received> IdentityTestServer::received() {
    const std::lock_guard guard(lock_);
    return received_;
}

} // namespace ostrel::test
