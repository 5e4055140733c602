#pragma once

#include <string_view>

namespace ostrel {

// The hub's log: technical detail that never belongs in a sentence shown to a
// person (paths, tool output, status codes, parser positions). Lines go to the
// system journal under the identifier "com.ostrel.hub" when a journal is
// running, and to standard error otherwise, each tagged with its area.
namespace Log {

enum class Category {
    launch,
    backgroundUpdate,
    install,
    verify,
    network,
    store,
    identity,
    receiver,
    catalog,
};

enum class Level { debug, info, warning, error };

// The area's name as it appears in each line ("launch", "background-update", ...).
std::string_view categoryName(Category category);

void write(Level level, Category category, std::string_view message);

inline void info(Category category, std::string_view message) {
    write(Level::info, category, message);
}
inline void warning(Category category, std::string_view message) {
    write(Level::warning, category, message);
}
inline void error(Category category, std::string_view message) {
    write(Level::error, category, message);
}

} // namespace Log
} // namespace ostrel
