#include "ApplePki.h"
#include "Verify/Signature/Requirement.h"
#include "Verify/Signature/RequirementContext.h"
#include "Verify/Signature/SignatureFailure.h"
#include "Verify/SignaturePolicy.h"

#include <gtest/gtest.h>

namespace ostrel::test {
namespace {

using signature::Certificate;
using signature::evaluate;
using signature::parseRequirement;
using signature::Requirement;
using signature::RequirementContext;

const fixtures::ApplePki& pki() {
    static const fixtures::ApplePki instance;
    return instance;
}

RequirementContext contextFor(const fixtures::Identity& leaf) {
    RequirementContext context;
    context.chain.push_back(Certificate::retain(leaf.certificate.get()));
    for (const auto& issuer : leaf.issuers)
        context.chain.push_back(Certificate::retain(issuer.get()));
    context.anchorTrusted = true;
    context.identifier = "com.ostrel.synth";
    context.cdhashes = {signature::Bytes(20, 0xAB)};
    return context;
}

bool holds(const std::string& text, const RequirementContext& context) {
    return evaluate(parseRequirement(text), context);
}

bool isBad(const std::string& text) {
    try {
        parseRequirement(text);
        return false;
    } catch (const signature::SignatureFailure& failure) {
        return failure.detail() == "bad requirement";
    }
}

TEST(Requirement, PolicyRequirementHoldsOnlyForOstrelsDeveloperIdChain) {
    std::string text = SignaturePolicy::ostrel().requirementText();
    EXPECT_TRUE(holds(text, contextFor(pki().application)));
    EXPECT_FALSE(holds(text, contextFor(pki().otherApplication)));
    EXPECT_FALSE(holds(text, contextFor(pki().applicationUnderUnmarkedCa)));
    EXPECT_FALSE(holds(text, contextFor(pki().unmarkedApplication)));
    EXPECT_FALSE(holds(text, contextFor(pki().installer))); // an installer leaf lacks .6.1.13
    RequirementContext untrusted = contextFor(pki().application);
    untrusted.anchorTrusted = false;
    EXPECT_FALSE(holds(text, untrusted));
    EXPECT_FALSE(holds(text, RequirementContext{})); // ad hoc: no chain at all
}

TEST(Requirement, EvaluatesOperatorsIdentifiersAndCdhashes) {
    RequirementContext context = contextFor(pki().application);
    EXPECT_TRUE(holds("cdhash H\"abababababababababababababababababababab\"", context));
    EXPECT_FALSE(holds("cdhash H\"abababababababababababababababababababac\"", context));
    EXPECT_TRUE(holds("identifier \"com.other\" or identifier com.ostrel.synth", context));
    EXPECT_FALSE(holds("identifier \"com.other\" or (identifier com.ostrel.synth and never)", context));
    EXPECT_TRUE(holds("(identifier \"com.other\" or identifier com.ostrel.synth) and !never", context));
    EXPECT_TRUE(holds("identifier \"com.other\" || always && true", context)); // && binds tighter
    EXPECT_FALSE(holds("!(anchor apple generic)", context));
    EXPECT_FALSE(holds("anchor apple", context)); // the test root is not Apple's
    context.anchorIsAppleRoot = true;
    EXPECT_TRUE(holds("anchor apple", context));
    EXPECT_FALSE(holds("notarized", context));
}

TEST(Requirement, ReadsCertificateFieldsSlotsAndWildcards) {
    RequirementContext context = contextFor(pki().application);
    EXPECT_TRUE(holds("certificate leaf[subject.CN] = \"Developer ID Application: *\"", context));
    EXPECT_TRUE(holds("certificate leaf[subject.CN] = \"*(K7QZ2M4XNB)\"", context));
    EXPECT_TRUE(holds("certificate leaf[subject.CN] = \"*Ostrel*\"", context));
    EXPECT_FALSE(holds("certificate leaf[subject.CN] = \"Ostrel\"", context));
    EXPECT_TRUE(holds("certificate 1[subject.CN] = \"Developer ID Certification Authority\"", context));
    EXPECT_TRUE(holds("certificate root[subject.CN] = \"Test Apple Root CA\"", context));
    EXPECT_TRUE(holds("certificate -1[subject.CN] = \"Test Apple Root CA\"", context));
    EXPECT_FALSE(holds("certificate 3[subject.CN] exists", context)); // beyond the chain
    EXPECT_TRUE(holds("certificate leaf[subject.UID] = K7QZ2M4XNB", context));
    EXPECT_TRUE(holds("certificate leaf[field.1.2.840.113635.100.6.1.14] absent", context));
    // codesign prints "exists" as a comment.
    EXPECT_TRUE(holds("certificate 1[field.1.2.840.113635.100.6.2.6] /* exists */", context));
}

TEST(Requirement, RefusesMalformedText) {
    EXPECT_TRUE(isBad(""));
    EXPECT_TRUE(isBad("anchor apple generic and"));
    EXPECT_TRUE(isBad("identifier"));
    EXPECT_TRUE(isBad("identifier \"unterminated"));
    EXPECT_TRUE(isBad("cdhash H\"abc\""));
    EXPECT_TRUE(isBad("cdhash H\"zz\""));
    EXPECT_TRUE(isBad("frobnicate"));
    EXPECT_TRUE(isBad("(always"));
    EXPECT_TRUE(isBad("always)"));
    EXPECT_TRUE(isBad("certificate leaf[subject.OU] < \"x\""));
    EXPECT_TRUE(isBad("certificate twelve[subject.OU] exists"));
    EXPECT_TRUE(isBad("always /* unterminated"));
    // Nesting is limited, at its edge.
    auto nested = [](int depth) { return std::string(depth, '(') + "always" + std::string(depth, ')'); };
    EXPECT_FALSE(isBad(nested(signature::maxRequirementDepth)));
    EXPECT_TRUE(isBad(nested(signature::maxRequirementDepth + 1)));
}

TEST(Requirement, BinaryFormRoundTripsToTheSameTree) {
    std::string text =
        "identifier \"com.ostrel.synth\" and (anchor apple generic or anchor apple) and "
        "certificate 1[field.1.2.840.113635.100.6.2.6] exists and "
        "certificate leaf[subject.OU] = \"K7QZ2M4XNB\" and !cdhash H\"00112233445566778899aabbccddeeff00112233\" "
        "and certificate leaf[subject.CN] = \"*Ostrel*\" and notarized or never";
    Requirement tree = parseRequirement(text);
    EXPECT_EQ(signature::decodeRequirement(signature::encodeRequirement(tree)), tree);
    EXPECT_EQ(signature::decodeDesignatedRequirement(signature::encodeRequirementSet(tree)), tree);

    // Opcode 6 (and) over opcode 15 (anchor apple generic) and opcode 2 (identifier "ab").
    signature::Bytes blob = {0xFA, 0xDE, 0x0C, 0x00, 0, 0, 0, 32, 0, 0, 0, 1, 0,   0,   0, 6,
                             0,    0,    0,    15,   0, 0, 0, 2,  0, 0, 0, 2, 'a', 'b', 0, 0};
    EXPECT_EQ(signature::decodeRequirement(blob), parseRequirement("anchor apple generic and identifier ab"));
}

TEST(Requirement, RefusesMalformedBinaryForms) {
    auto detail = [](signature::Bytes blob) {
        try {
            signature::decodeRequirement(blob);
            return std::string();
        } catch (const signature::SignatureFailure& failure) {
            return failure.detail();
        }
    };
    signature::Bytes good = signature::encodeRequirement(parseRequirement("identifier abc"));
    signature::Bytes truncated(good.begin(), good.end() - 4);
    truncated[7] = static_cast<uint8_t>(truncated.size());
    EXPECT_EQ(detail(truncated), "the requirement is truncated");
    signature::Bytes unknown = {0xFA, 0xDE, 0x0C, 0x00, 0, 0, 0, 16, 0, 0, 0, 1, 0, 0, 0, 99};
    EXPECT_EQ(detail(unknown), "the requirement uses an unsupported operation");
    signature::Bytes wrongLength = good;
    wrongLength[7] += 4;
    EXPECT_EQ(detail(wrongLength), "the requirement is malformed");

    auto negations = [](int depth) {
        Requirement tree{Requirement::Op::always};
        for (int i = 0; i < depth; ++i) {
            Requirement outer{Requirement::Op::negation};
            outer.operands.push_back(std::move(tree));
            tree = std::move(outer);
        }
        return signature::encodeRequirement(tree);
    };
    EXPECT_EQ(detail(negations(signature::maxRequirementDepth)), "");
    EXPECT_EQ(detail(negations(signature::maxRequirementDepth + 1)), "the requirement is nested too deeply");
}

} // namespace
} // namespace ostrel::test
