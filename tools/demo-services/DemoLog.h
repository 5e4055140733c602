#pragma once

#include <functional>
#include <string>

namespace ostrel::demo {

// Where the services write their log lines (requests, e-mailed codes, payments). The program
// writes them to standard error; tests read them to pick up codes a person would get by mail.
using DemoLog = std::function<void(const std::string& line)>;

// Writes each line to standard error with the time of day, one whole line at a time.
DemoLog standardErrorLog();

} // namespace ostrel::demo
