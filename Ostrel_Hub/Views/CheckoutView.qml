import QtQuick
import Ostrel.Checkout

// The checkout sheet. Its web view lives in the module Ostrel.Checkout, a plugin imported here
// only: this file is loaded when the sheet first opens, and with it the web engine.
CheckoutPage {
}
