#pragma once

#include "Model/StoreState.h"

#include <set>
#include <string>

namespace ostrel::hub {

// What to do about the updates a refresh found: each product's update is announced once per
// run; with automatic updates on and the store connected they are installed instead.
struct UpdateAnnouncement {
    enum class Action { nothing, updateAll, notify };

    Action action = Action::nothing;
    std::string title{};
    std::string body{};

    // Adds the freshly found products to `announced`.
    static UpdateAnnouncement after(const StoreState::Products& updates, std::set<std::string>& announced,
                                    bool autoUpdate, bool storeConnected);
};

} // namespace ostrel::hub
