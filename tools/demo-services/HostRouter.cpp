#include "HostRouter.h"

#include "DemoText.h"
#include "RouteSupport.h"

namespace ostrel::demo {

std::string HostRouter::hostOf(const httplib::Request& request) {
    std::string host = request.get_header_value("Host");
    if (const auto colon = host.rfind(':'); colon != std::string::npos && host.find(']') == std::string::npos)
        host.resize(colon);
    return lowercased(host);
}

void HostRouter::add(const std::string& method, const std::string& host, const std::string& pattern, Handler handler) {
    auto& table = routes_[{method, pattern}];
    if (!table) {
        table = std::make_shared<HostTable>();
        // One handler per method and path; it picks the host's own handler or answers 404.
        Handler dispatch = [table](const httplib::Request& request, httplib::Response& response) {
            const auto found = table->find(hostOf(request));
            if (found == table->end())
                return sendProblem(response, 404, "Nothing is served at this address on " + hostOf(request) + ".");
            found->second(request, response);
        };
        if (method == "GET")
            server_.Get(pattern, dispatch);
        else if (method == "POST")
            server_.Post(pattern, dispatch);
        else
            server_.Patch(pattern, dispatch);
    }
    table->insert_or_assign(lowercased(host), std::move(handler));
}

void HostRouter::get(const std::string& host, const std::string& pattern, Handler handler) {
    add("GET", host, pattern, std::move(handler));
}

void HostRouter::post(const std::string& host, const std::string& pattern, Handler handler) {
    add("POST", host, pattern, std::move(handler));
}

void HostRouter::patch(const std::string& host, const std::string& pattern, Handler handler) {
    add("PATCH", host, pattern, std::move(handler));
}

} // namespace ostrel::demo
