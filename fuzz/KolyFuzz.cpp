// Feeds untrusted bytes as a whole disk image: the koly trailer, the
// signature's placement, its SuperBlob index and a stapled ticket.
#include "Verify/Signature/DiskImageSignature.h"
#include "Verify/Signature/SignatureDefect.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> image(data, size);
    try {
        auto trailer = ostrel::DiskImageSignature::locate(image);
        if (!trailer)
            return 0;
        auto superBlob = image.subspan(trailer->codeSignatureOffset, trailer->codeSignatureLength);
        for (uint32_t slot : {0u, 2u, 0x1000u, 0x10000u})
            (void)ostrel::superBlobEntry(superBlob, slot);
        if (auto ticket = ostrel::superBlobEntry(superBlob, ostrel::DiskImageSignature::stapledTicketSlot))
            (void)ostrel::NotaryTicket::fromImageSlot(*ticket);
    } catch (const ostrel::SignatureDefect&) {
    }
    return 0;
}
