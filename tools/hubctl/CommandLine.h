#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace ostrel::hubctl {

// A mistake in how the command was called; the message says what to fix.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The words after the program name: a command, its "--name value" options and
// "--flag" switches, and the remaining arguments in order.
class CommandLine {
public:
    // `valued` lists the options that take a value; `flags` those that do not.
    CommandLine(const std::vector<std::string>& words, const std::set<std::string>& valued,
                const std::set<std::string>& flags);

    const std::string& command() const { return command_; }
    const std::vector<std::string>& arguments() const { return arguments_; }
    bool has(const std::string& flag) const { return flags_.contains(flag); }
    std::optional<std::string> value(const std::string& option) const;

    // Exactly `count` arguments, or a UsageError naming what is missing or extra.
    void expectArguments(size_t count, const std::string& what) const;

private:
    std::string command_;
    std::vector<std::string> arguments_;
    std::map<std::string, std::string> values_;
    std::set<std::string> flags_;
};

} // namespace ostrel::hubctl
