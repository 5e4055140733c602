#pragma once

#include <string>

namespace ostrel::demo::PaymentCards {

// The demo's test cards, as payment services publish theirs: one always pays, one is always
// declined; any other well-formed number pays too.
inline constexpr const char* paying = "4242 4242 4242 4242";
inline constexpr const char* declined = "4000 0000 0000 0002";

enum class Outcome { pays, declined, invalid };

// Spaces and dashes are ignored; 12 to 19 digits make a card number.
Outcome judge(const std::string& number);

} // namespace ostrel::demo::PaymentCards
