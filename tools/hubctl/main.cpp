// ostrel-hubctl: the hub's install engine from the command line, for headless
// machines and release engineering.
#include "Command.h"
#include "Util/Error.h"
#include "Util/Log.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace ostrel::hubctl {

const std::vector<Command>& commands() {
    static const std::vector<Command> all{verifyCommand(),  checkCommand(),     installCommand(), uninstallCommand(),
                                          updateCommand(),  recoverCommand(),   ledgerCommand(),  signInCommand(),
                                          signOutCommand(), whoAmICommand(),    ownedCommand(),   storefrontCommand(),
                                          extrasCommand(),  backgroundCommand()};
    return all;
}

namespace {

void printOverview(std::ostream& out) {
    out << "usage: ostrel-hubctl COMMAND [OPTIONS] [ARGUMENTS]\n\nCommands:\n";
    for (const auto& command : commands())
        out << "  " << command.name << std::string(12 - std::min<size_t>(command.name.size(), 11), ' ')
            << command.summary << "\n";
    out << "\nRun ostrel-hubctl COMMAND --help for a command's options.\n";
}

bool takesValue(const std::string& option) {
    return std::any_of(commands().begin(), commands().end(),
                       [&](const Command& c) { return c.valued.contains(option.substr(2)); });
}

// The first word that is neither an option nor an option's value, so options may come before
// the command ("ostrel-hubctl --config FILE signin ...").
const Command* find(const std::vector<std::string>& words) {
    for (size_t i = 0; i < words.size(); ++i) {
        const auto& word = words[i];
        if (word.starts_with("--")) {
            i += takesValue(word) ? 1 : 0;
            continue;
        }
        const auto it =
            std::find_if(commands().begin(), commands().end(), [&](const Command& c) { return c.name == word; });
        return it == commands().end() ? nullptr : &*it;
    }
    return nullptr;
}

int dispatch(const std::vector<std::string>& words, Output io) {
    const bool wantsHelp = std::find(words.begin(), words.end(), "--help") != words.end();
    const Command* command = find(words);
    if (command == nullptr) {
        printOverview(wantsHelp ? io.out : io.err);
        return wantsHelp ? 0 : 2;
    }
    if (wantsHelp) {
        io.out << "usage: " << command->usage;
        return 0;
    }
    try {
        return command->run(CommandLine(words, command->valued, command->flags), io);
    } catch (const UsageError& e) {
        io.err << e.what() << "\nusage: " << command->usage;
        return 2;
    }
}

} // namespace
} // namespace ostrel::hubctl

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    ostrel::hubctl::Output io{std::cout, std::cerr};
    try {
        return ostrel::hubctl::dispatch(words, io);
    } catch (const ostrel::Error& e) {
        io.err << e.what() << "\n";
        return 1;
    } catch (const std::filesystem::filesystem_error& e) {
        ostrel::Log::error(ostrel::Log::Category::install, e.what());
        io.err << "A file could not be read or written: " << e.path1().string() << ".\n";
        return 1;
    } catch (const std::exception& e) {
        // Nothing internal reaches the terminal: the detail goes to the log.
        ostrel::Log::error(ostrel::Log::Category::install, e.what());
        io.err << "ostrel-hubctl could not finish. The log under com.ostrel.hub has the details.\n";
        return 1;
    }
}
