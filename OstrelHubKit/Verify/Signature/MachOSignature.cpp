#include "Verify/Signature/MachOSignature.h"

#include "Verify/Signature/CodeSignatureCheck.h"
#include "Verify/Signature/MachOFile.h"
#include "Verify/Signature/MappedFile.h"
#include "Verify/Signature/SignatureFailure.h"
#include "Verify/Signature/SuperBlob.h"

#include <algorithm>

namespace ostrel::signature {

namespace {

[[noreturn]] void refuse(const std::string& detail) {
    throw SignatureFailure::invalid(detail);
}

SliceSignature checkSlice(const MachOSlice& slice, const TrustSettings& trust, const BlockReader& read) {
    std::string subject = "the " + slice.architecture + " slice";
    // The SuperBlob's own length says where the signature ends. codesign
    // reuses a larger area when it re-signs, so the rest of the declared area
    // may hold leftovers of an earlier signature; like Apple, ignore them.
    // Nothing can hide after the area: it ends __LINKEDIT and the slice.
    SuperBlob blobs = SuperBlob::parse(slice.bytes.subspan(slice.signature->dataOffset, slice.signature->dataSize));
    // Everything before the signature is code.
    SliceSignature out =
        checkCodeSignature(blobs, slice.bytes.first(slice.signature->dataOffset), subject, trust, read);
    out.architecture = slice.architecture;
    out.cpuType = slice.cpuType;
    out.cpuSubtype = slice.cpuSubtype;
    if (slice.infoPlist)
        out.embeddedInfoPlist = Bytes(slice.infoPlist->begin(), slice.infoPlist->end());
    return out;
}

void checkSlicesAgree(const std::vector<SliceSignature>& slices) {
    for (const SliceSignature& slice : slices)
        if (slice.teamID != slices.front().teamID || slice.adhoc != slices.front().adhoc)
            refuse("the architectures of the file are signed by different teams");
}

} // namespace

CodeSignatureInfo checkMachOSignature(std::span<const uint8_t> file, const TrustSettings& trust,
                                      const BlockReader& read) {
    std::vector<MachOSlice> slices = parseMachO(file);
    if (std::none_of(slices.begin(), slices.end(), [](const MachOSlice& s) { return s.signature.has_value(); }))
        throw SignatureFailure::notSigned();
    CodeSignatureInfo info;
    for (const MachOSlice& slice : slices) {
        if (!slice.signature)
            refuse("the " + slice.architecture + " slice is not signed");
        info.slices.push_back(checkSlice(slice, trust, read));
    }
    checkSlicesAgree(info.slices);
    info.identifier = info.slices.front().identifier;
    info.teamID = info.slices.front().teamID;
    info.adhoc = info.slices.front().adhoc;
    return info;
}

CodeSignatureInfo checkMachOSignature(const std::filesystem::path& file, const TrustSettings& trust) {
    MappedFile mapped(file);
    return checkMachOSignature(mapped.bytes(), trust, mapped.blockReader());
}

} // namespace ostrel::signature
