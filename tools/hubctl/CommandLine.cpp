#include "CommandLine.h"

namespace ostrel::hubctl {

CommandLine::CommandLine(const std::vector<std::string>& words, const std::set<std::string>& valued,
                         const std::set<std::string>& flags) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!word.starts_with("--") || word == "--") {
            if (command_.empty() && word != "--")
                command_ = word;
            else if (word != "--")
                arguments_.push_back(word);
            continue;
        }
        const std::string name = word.substr(2);
        if (flags.contains(name)) {
            flags_.insert(name);
        } else if (valued.contains(name)) {
            if (i + 1 >= words.size())
                throw UsageError("--" + name + " needs a value.");
            values_[name] = words[++i];
        } else {
            throw UsageError("Unknown option " + word + ".");
        }
    }
}

std::optional<std::string> CommandLine::value(const std::string& option) const {
    const auto it = values_.find(option);
    return it == values_.end() ? std::nullopt : std::optional(it->second);
}

void CommandLine::expectArguments(size_t count, const std::string& what) const {
    if (arguments_.size() < count)
        throw UsageError("Missing " + what + ".");
    if (arguments_.size() > count)
        throw UsageError("Unexpected argument " + arguments_[count] + ".");
}

} // namespace ostrel::hubctl
