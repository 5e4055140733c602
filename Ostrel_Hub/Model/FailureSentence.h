#pragma once

#include "Util/Log.h"

#include <exception>
#include <string>

namespace ostrel::hub {

// The sentence a person sees for a failure. The hub's own errors carry one; anything else (a
// file-system error, a parser's or the library's own text) goes to the log under `category`
// and is said in the general words of `fallback`, so no internal text reaches the screen.
std::string failureSentence(std::exception_ptr failure, Log::Category category, const std::string& fallback);

} // namespace ostrel::hub
