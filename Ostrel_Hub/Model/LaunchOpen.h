#pragma once

#include <QString>

namespace ostrel::hub {

class AppModel;

// Puts the window into the state an "--open" target names, once the first refresh has
// loaded the store: "section:<id>", "product:<id>", "search:<text>", "signin" and
// "checkout:<product id>". A target that names nothing known does nothing.
void applyOpenTarget(const QString& target, AppModel& model);

// What a later launch hands to the running hub: an "ostrel-hub:" link (as a desktop opens it)
// goes to the model's deep links, anything else is an "--open" target.
void applyLaunchRequest(const QString& request, AppModel& model);

} // namespace ostrel::hub
