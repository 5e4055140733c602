#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <vector>

namespace ostrel {

// The desktop Trash as file managers share it (the freedesktop.org layout):
// the item goes to "files/", and "info/<name>.trashinfo" remembers where it
// came from and when, so the user can put it back from any file manager.
// Items in the home folder's file system go to the home Trash
// ($XDG_DATA_HOME/Trash) by a rename, never a copy; items on another file
// system go to that volume's own ".Trash-<uid>" folder, also by a rename.
// Errors are thrown as std::filesystem::filesystem_error; the item stays where it was.
class Trash {
public:
    // Moves the item (file, folder or link, not followed) to the Trash and
    // returns its new location. A name already in the Trash gets a number.
    static std::filesystem::path moveToTrash(const std::filesystem::path& item);
    // The same, but the Trash remembers `recordedAs` as where the item came
    // from: a copy parked under a hidden name goes back to its real place.
    static std::filesystem::path moveToTrash(const std::filesystem::path& item,
                                             const std::filesystem::path& recordedAs);

    // Items in the Trash that came from `original`, oldest name first.
    static std::vector<std::filesystem::path> itemsFrom(const std::filesystem::path& original);

    // Drops records of the home Trash whose item is gone (a move that never
    // happened leaves its record behind) when `ours` accepts the path they
    // name. Returns the records removed.
    static std::vector<std::filesystem::path>
    removeOrphanedRecords(const std::function<bool(const std::filesystem::path&)>& ours);

    // Moves an item out of the Trash to `destination` and forgets its record.
    // Refuses when something already is at `destination`.
    static void putBack(const std::filesystem::path& trashed, const std::filesystem::path& destination);

    // $XDG_DATA_HOME/Trash, or ~/.local/share/Trash.
    static std::filesystem::path homeTrash();
};

} // namespace ostrel
