#include "Checkout/CheckoutTypes.h"

#include "Checkout/CheckoutGuard.h"

#include <QtQml/qqml.h>

namespace ostrel::hub {

void registerCheckoutTypes() {
    static const bool registered = (qmlRegisterType<CheckoutGuard>("Ostrel.Checkout", 1, 0, "CheckoutGuard"), true);
    (void)registered;
}

} // namespace ostrel::hub
