// Feeds arbitrary bytes to the Mach-O, SuperBlob and CodeDirectory readers
// and the whole signature check. Only SignatureFailure may come out.
#include "Verify/Signature/CodeDirectory.h"
#include "Verify/Signature/MachOSignature.h"
#include "Verify/Signature/SignatureFailure.h"
#include "Verify/Signature/SuperBlob.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ostrel::signature;
    std::span<const uint8_t> bytes(data, size);
    static const TrustSettings trust{TrustAnchors({})};
    try {
        checkMachOSignature(bytes, trust);
    } catch (const SignatureFailure&) {
    }
    try {
        SuperBlob blobs = SuperBlob::parse(bytes);
        for (const Blob& blob : blobs.blobs())
            if (blob.magic == blobMagic::codeDirectory)
                CodeDirectory::parse(blob.bytes).firstMismatchedPage(bytes);
    } catch (const SignatureFailure&) {
    }
    try {
        CodeDirectory cd = CodeDirectory::parse(bytes);
        cd.specialSlot(1);
        cd.cdhash();
    } catch (const SignatureFailure&) {
    }
    return 0;
}
