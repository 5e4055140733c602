#pragma once

#include <QtGlobal> // before <chrono>: moc reads the standard headers with Qt's definitions
#include <chrono>

namespace ostrel::hub {

// How the checkout sheet polls its order: quickly once the payment page has returned, slowly
// while the user is still paying, and never more than `maxPolls` times per checkout. The
// payment page itself gets `pageLoad` to arrive before the sheet says the store cannot be
// reached.
struct CheckoutTiming {
    static constexpr std::chrono::milliseconds pageLoadLimit{60000};

    std::chrono::milliseconds afterReturn{1500};
    std::chrono::milliseconds whilePaying{4000};
    int maxPolls = 900; // an hour at the slower pace
    std::chrono::milliseconds pageLoad = pageLoadLimit;
};

} // namespace ostrel::hub
