// Where the payment view may go, decided on the policy alone: a table of addresses and the
// kind of navigation, each with the decision it must get.
#include "Checkout/CheckoutPolicy.h"

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

using Decision = CheckoutPolicy::Decision;
using Kind = CheckoutPolicy::Kind;

CheckoutPolicy policy() {
    return CheckoutPolicy(QUrl("https://ostrel.audio/hub/checkout-complete?order=abc"), {"Ostrel.Moonbase.sh"},
                          {"stripe.com", "paypal.com"});
}

struct Case {
    const char* url;
    Kind kind;
    Decision expected;
};

TEST(CheckoutPolicy, DecidesEachNavigationByTheRulesInOrder) {
    const Case cases[] = {
        // The return address, whatever the query and the kind; another path of its host is not it.
        {"https://ostrel.audio/hub/checkout-complete?order=abc", Kind::mainFrame, Decision::returned},
        {"https://ostrel.audio/hub/checkout-complete?order=abc&paid=1", Kind::mainFrame, Decision::returned},
        {"https://OSTREL.audio/hub/checkout-complete", Kind::subFrame, Decision::returned},
        {"https://ostrel.audio/hub/checkout-completed?order=abc", Kind::mainFrame, Decision::cancel},
        {"https://ostrel.audio/", Kind::mainFrame, Decision::cancel},
        {"http://ostrel.audio/hub/checkout-complete?order=abc", Kind::mainFrame, Decision::cancel},
        // No address, about:, and schemes other than https.
        {"", Kind::mainFrame, Decision::cancel},
        {"about:blank", Kind::mainFrame, Decision::allow},
        {"about:srcdoc", Kind::subFrame, Decision::allow},
        {"http://ostrel.moonbase.sh/checkout/1", Kind::mainFrame, Decision::cancel},
        {"http://js.stripe.com/frame", Kind::subFrame, Decision::cancel},
        {"file:///etc/passwd", Kind::mainFrame, Decision::cancel},
        {"javascript:alert(1)", Kind::subFrame, Decision::cancel},
        {"data:text/html,hi", Kind::subFrame, Decision::cancel},
        // Frames inside the page may load any secure page.
        {"https://elsewhere.example/frame", Kind::subFrame, Decision::allow},
        // The page itself and new windows: the checkout host and the payment domains only.
        {"https://ostrel.moonbase.sh/checkout/1", Kind::mainFrame, Decision::allow},
        {"HTTPS://OSTREL.MOONBASE.SH/checkout/1", Kind::newWindow, Decision::allow},
        {"https://other.moonbase.sh/checkout/1", Kind::mainFrame, Decision::cancel},
        {"https://stripe.com/pay", Kind::mainFrame, Decision::allow},
        {"https://hooks.stripe.com/3ds", Kind::newWindow, Decision::allow},
        {"https://www.paypal.com/checkoutnow", Kind::newWindow, Decision::allow},
        {"https://notstripe.com/pay", Kind::mainFrame, Decision::cancel},
        {"https://stripe.com.evil.example/pay", Kind::mainFrame, Decision::cancel},
        {"https://elsewhere.example/frame", Kind::mainFrame, Decision::cancel},
        {"https://elsewhere.example/", Kind::newWindow, Decision::cancel},
    };
    const auto rules = policy();
    for (const auto& c : cases)
        EXPECT_EQ(rules.decide(QUrl(c.url), c.kind), c.expected) << c.url << " as kind " << static_cast<int>(c.kind);
}

TEST(CheckoutPolicy, OpensWindowsOnlyForAllowedSecureAddressesOrAnEmptyOne) {
    const auto rules = policy();
    EXPECT_TRUE(rules.allowsPopup(QUrl("about:blank")));
    EXPECT_TRUE(rules.allowsPopup(QUrl("https://checkout.paypal.com/approve")));
    EXPECT_FALSE(rules.allowsPopup(QUrl("http://checkout.paypal.com/approve")));
    EXPECT_FALSE(rules.allowsPopup(QUrl("about:srcdoc")));
    EXPECT_FALSE(rules.allowsPopup(QUrl("https://elsewhere.example/")));
    EXPECT_FALSE(rules.allowsPopup(QUrl()));
}

TEST(CheckoutPolicy, WithoutAReturnAddressNothingCountsAsTheReturn) {
    const CheckoutPolicy rules(QUrl(), {"ostrel.moonbase.sh"}, {});
    EXPECT_FALSE(rules.isReturn(QUrl("https://ostrel.audio/hub/checkout-complete")));
    EXPECT_EQ(rules.decide(QUrl("https://ostrel.moonbase.sh/x"), Kind::mainFrame), Decision::allow);
    EXPECT_EQ(rules.decide(QUrl("https://stripe.com/x"), Kind::mainFrame), Decision::cancel);
}

} // namespace
} // namespace ostrel::hub
