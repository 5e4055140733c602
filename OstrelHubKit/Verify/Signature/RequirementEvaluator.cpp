#include "Verify/Signature/HashType.h"
#include "Verify/Signature/RequirementContext.h"

#include <algorithm>

#include <openssl/sha.h>

namespace ostrel::signature {

namespace {

using Match = Requirement::Match;
using Op = Requirement::Op;

bool matches(Match match, const std::string& candidate, const std::string& wanted) {
    switch (match) {
    case Match::exists:
        return true;
    case Match::equal:
        return candidate == wanted;
    case Match::contains:
        return candidate.find(wanted) != std::string::npos;
    case Match::beginsWith:
        return candidate.starts_with(wanted);
    case Match::endsWith:
        return candidate.ends_with(wanted);
    case Match::lessThan:
        return candidate < wanted;
    case Match::greaterThan:
        return candidate > wanted;
    case Match::lessEqual:
        return candidate <= wanted;
    case Match::greaterEqual:
        return candidate >= wanted;
    case Match::absent:
        return false;
    }
    return false;
}

const Certificate* certificateAt(const RequirementContext& context, int32_t slot) {
    int64_t size = static_cast<int64_t>(context.chain.size());
    int64_t index = slot >= 0 ? slot : size + slot;
    return index >= 0 && index < size ? &context.chain[static_cast<size_t>(index)] : nullptr;
}

bool certificateField(const Requirement& r, const RequirementContext& context) {
    const Certificate* certificate = certificateAt(context, r.slot);
    if (certificate == nullptr || !r.key.starts_with("subject."))
        return false;
    std::vector<std::string> values = certificate->subjectValues(r.key.substr(8));
    if (r.match == Match::absent)
        return values.empty();
    return std::any_of(values.begin(), values.end(), [&](auto& v) { return matches(r.match, v, r.value); });
}

// Extensions are only asked whether they are there; comparing their values
// is not needed by any requirement we evaluate, so it never holds.
bool certificateGeneric(const Requirement& r, const RequirementContext& context) {
    const Certificate* certificate = certificateAt(context, r.slot);
    if (certificate == nullptr)
        return false;
    bool present = certificate->hasExtension(r.key);
    return r.match == Match::exists ? present : r.match == Match::absent ? !present : false;
}

bool certificateHash(const Requirement& r, const RequirementContext& context) {
    const Certificate* certificate = certificateAt(context, r.slot);
    if (certificate == nullptr)
        return false;
    Bytes der = certificate->der();
    Bytes hash = digest(HashType::sha1, der);
    return std::string(hash.begin(), hash.end()) == r.value;
}

} // namespace

bool evaluate(const Requirement& r, const RequirementContext& context) {
    switch (r.op) {
    case Op::never:
        return false;
    case Op::always:
        return true;
    case Op::identifier:
        return context.identifier == r.value;
    case Op::anchorApple:
        return context.anchorTrusted && context.anchorIsAppleRoot;
    case Op::anchorAppleGeneric:
        return context.anchorTrusted && !context.chain.empty();
    case Op::anchorTrusted:
        return false; // no user trust settings exist here
    case Op::certificateHash:
        return certificateHash(r, context);
    case Op::certificateField:
        return certificateField(r, context);
    case Op::certificateGeneric:
        return certificateGeneric(r, context);
    case Op::cdhash:
        return std::any_of(context.cdhashes.begin(), context.cdhashes.end(),
                           [&](const Bytes& h) { return std::string(h.begin(), h.end()) == r.value; });
    case Op::notarized:
        return context.notarized;
    case Op::allOf:
        return std::all_of(r.operands.begin(), r.operands.end(), [&](auto& o) { return evaluate(o, context); });
    case Op::anyOf:
        return std::any_of(r.operands.begin(), r.operands.end(), [&](auto& o) { return evaluate(o, context); });
    case Op::negation:
        return !r.operands.empty() && !evaluate(r.operands.front(), context);
    }
    return false;
}

} // namespace ostrel::signature
