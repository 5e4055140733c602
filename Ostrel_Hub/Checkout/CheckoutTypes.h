#pragma once

namespace ostrel::hub {

// Makes the checkout sheet's QML types known ("import Ostrel.Checkout": CheckoutGuard). The
// registration loads nothing of the web engine; that starts with the first guard.
void registerCheckoutTypes();

} // namespace ostrel::hub
