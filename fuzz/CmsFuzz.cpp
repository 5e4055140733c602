// Feeds arbitrary bytes to the CMS signature check and to both requirement
// readers. Only SignatureFailure may come out.
#include "Verify/Signature/CmsSignature.h"
#include "Verify/Signature/Requirement.h"
#include "Verify/Signature/RequirementContext.h"
#include "Verify/Signature/SignatureFailure.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ostrel::signature;
    std::span<const uint8_t> bytes(data, size);
    static const TrustSettings trust{TrustAnchors({})};
    static const uint8_t content[] = {1, 2, 3};
    try {
        CodeDirectoryHash cd = codeDirectoryHash(HashType::sha256, content);
        verifyCmsSignature(bytes, content, {cd}, trust, eku::codeSigning);
    } catch (const SignatureFailure&) {
    }
    try {
        Requirement r = parseRequirement(std::string(reinterpret_cast<const char*>(data), size));
        evaluate(r, RequirementContext{});
        decodeRequirement(encodeRequirement(r));
    } catch (const SignatureFailure&) {
    }
    try {
        evaluate(decodeRequirement(bytes), RequirementContext{});
    } catch (const SignatureFailure&) {
    }
    try {
        decodeDesignatedRequirement(bytes);
    } catch (const SignatureFailure&) {
    }
    return 0;
}
