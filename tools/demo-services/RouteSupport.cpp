#include "RouteSupport.h"

#include "Services/HttpStatus.h"

namespace ostrel::demo {

void sendJson(httplib::Response& response, const nlohmann::json& body, int status) {
    response.status = status;
    response.set_content(body.dump(), "application/json");
}

void sendProblem(httplib::Response& response, int status, const std::string& detail) {
    response.status = status;
    const nlohmann::json body{{"title", HttpStatus::reasonPhrase(status)}, {"detail", detail}, {"status", status}};
    response.set_content(body.dump(), "application/problem+json");
}

void sendMessage(httplib::Response& response, int status, const std::string& message) {
    sendJson(response, {{"message", message}}, status);
}

void sendHtml(httplib::Response& response, const std::string& title, const std::string& body, int status) {
    response.status = status;
    response.set_content("<!doctype html><html><head><meta charset=utf-8><title>" + htmlEscaped(title) +
                             "</title><meta name=viewport content=\"width=device-width\"><style>"
                             "body{font:16px system-ui,sans-serif;max-width:36em;margin:48px auto;padding:0 16px}"
                             "button{font:inherit;padding:8px 20px;margin-right:8px}"
                             "table{border-collapse:collapse;width:100%}td{padding:4px 0}"
                             "</style></head><body>" +
                             body + "</body></html>",
                         "text/html; charset=utf-8");
}

void redirect(httplib::Response& response, const std::string& location, int status) {
    response.status = status;
    response.set_header("Location", location);
}

std::optional<std::string> headerOf(const httplib::Request& request, const char* name) {
    if (!request.has_header(name))
        return std::nullopt;
    return request.get_header_value(name);
}

std::optional<std::string> queryOf(const httplib::Request& request, const char* name) {
    if (!request.has_param(name))
        return std::nullopt;
    return request.get_param_value(name);
}

std::optional<nlohmann::json> jsonObjectOf(const httplib::Request& request) {
    auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (!body.is_object())
        return std::nullopt;
    return body;
}

std::optional<std::string> textOf(const nlohmann::json& object, const char* key) {
    if (!object.contains(key) || !object[key].is_string())
        return std::nullopt;
    return object[key].get<std::string>();
}

std::string htmlEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace ostrel::demo
