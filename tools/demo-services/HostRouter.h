#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include <httplib.h>

namespace ostrel::demo {

// Routes requests by the host they were sent to as well as by method and path, so the one
// port serves the store, the identity service, the web site and the download host, each with
// only its own paths. Add every route before the server starts.
class HostRouter {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    explicit HostRouter(httplib::Server& server) : server_(server) {}

    // `pattern` is a regular expression over the whole path; its groups land in request.matches.
    void get(const std::string& host, const std::string& pattern, Handler handler);
    void post(const std::string& host, const std::string& pattern, Handler handler);
    void patch(const std::string& host, const std::string& pattern, Handler handler);

    // The host a request was sent to, in lower case and without a port.
    static std::string hostOf(const httplib::Request& request);

private:
    using HostTable = std::map<std::string, Handler>;

    void add(const std::string& method, const std::string& host, const std::string& pattern, Handler handler);

    httplib::Server& server_;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<HostTable>> routes_;
};

} // namespace ostrel::demo
