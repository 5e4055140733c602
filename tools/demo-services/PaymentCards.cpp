#include "PaymentCards.h"

namespace ostrel::demo::PaymentCards {

namespace {

std::string digitsOf(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c != ' ' && c != '-')
            return {};
    }
    return digits;
}

} // namespace

Outcome judge(const std::string& number) {
    const auto digits = digitsOf(number);
    if (digits.size() < 12 || digits.size() > 19)
        return Outcome::invalid;
    return digits == digitsOf(declined) ? Outcome::declined : Outcome::pays;
}

} // namespace ostrel::demo::PaymentCards
