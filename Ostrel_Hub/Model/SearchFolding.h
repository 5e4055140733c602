#pragma once

#include <string>
#include <string_view>

namespace ostrel::hub {

// The one form in which product texts and search queries are compared: "Séance", "SEANCE" and
// "ｓｅａｎｃｅ" all become "seance". The same for every user, whatever their language.
namespace SearchFolding {

// UTF-8 text folded case-, diacritic- and width-insensitively: fullwidth and halfwidth forms
// become their ordinary forms, letters are case-folded in full ("ß" becomes "ss"), and the
// nonspacing marks of the canonical decomposition are dropped. Invalid UTF-8 sequences become
// U+FFFD, so the result is always valid UTF-8.
std::string fold(std::string_view utf8);

// The same folding with every character through the Unicode tables, without the shortcut `fold`
// takes for ASCII; kept so that the two can be shown to agree.
std::string foldAllThroughUnicode(std::string_view utf8);

} // namespace SearchFolding

} // namespace ostrel::hub
