#include "Model/UpdateAnnouncement.h"

namespace ostrel::hub {

UpdateAnnouncement UpdateAnnouncement::after(const StoreState::Products& updates, std::set<std::string>& announced,
                                             bool autoUpdate, bool storeConnected) {
    bool fresh = false;
    for (const auto* product : updates)
        fresh = announced.insert(product->id).second || fresh;
    if (!fresh)
        return {};
    if (autoUpdate && storeConnected)
        return {.action = Action::updateAll};
    UpdateAnnouncement notice{.action = Action::notify};
    notice.title = updates.size() == 1 ? "An update is ready" : std::to_string(updates.size()) + " updates are ready";
    for (const auto* product : updates)
        notice.body += (notice.body.empty() ? "" : ", ") + product->name;
    return notice;
}

} // namespace ostrel::hub
