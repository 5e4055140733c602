#pragma once

#include <QString>
#include <exception>

namespace ostrel::hub {

// The sentence a user sees for a failure. The Kit's own errors already speak the user's
// language; anything else is logged and summed up, so no internal text reaches the screen.
QString userMessage(const std::exception_ptr& failure);

} // namespace ostrel::hub
