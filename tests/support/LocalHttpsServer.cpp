#include "LocalHttpsServer.h"

#include "TlsChains.h"

namespace ostrel::test {

LocalHttpsServer::LocalHttpsServer(const fixtures::TlsChain& chain)
    : server_([&](SSL_CTX& context) {
          return SSL_CTX_use_certificate_chain_file(&context, chain.serverChain.c_str()) == 1 &&
                 SSL_CTX_use_PrivateKey_file(&context, chain.leafKey.c_str(), SSL_FILETYPE_PEM) == 1;
      }) {
    // The socket listens from here on; connections wait in its backlog until start().
    port_ = server_.bind_to_any_port("127.0.0.1");
}

LocalHttpsServer::~LocalHttpsServer() {
    if (!thread_.joinable())
        return;
    while (!server_.is_running()) // stop() only ends a loop that has begun
        std::this_thread::yield();
    server_.stop();
    thread_.join();
}

void LocalHttpsServer::start() {
    thread_ = std::thread([this] { server_.listen_after_bind(); });
}

std::string LocalHttpsServer::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

} // namespace ostrel::test
