#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include <httplib.h>

namespace ostrel::demo {

// Small helpers the routes share for reading requests and writing answers.

void sendJson(httplib::Response& response, const nlohmann::json& body, int status = 200);
// A problem-details answer: {"title": reason phrase, "detail": detail, "status": status}.
void sendProblem(httplib::Response& response, int status, const std::string& detail);
// The identity service's error shape: {"message": message}.
void sendMessage(httplib::Response& response, int status, const std::string& message);
void sendHtml(httplib::Response& response, const std::string& title, const std::string& body, int status = 200);
void redirect(httplib::Response& response, const std::string& location, int status = 302);

std::optional<std::string> headerOf(const httplib::Request& request, const char* name);
std::optional<std::string> queryOf(const httplib::Request& request, const char* name);
// The body as a JSON object, or none when it is not one.
std::optional<nlohmann::json> jsonObjectOf(const httplib::Request& request);
// A text member of a JSON object, or none.
std::optional<std::string> textOf(const nlohmann::json& object, const char* key);

// Text made safe to put into an HTML page.
std::string htmlEscaped(const std::string& text);

} // namespace ostrel::demo
