#include "Util/OpenSslPtr.h"
#include "Verify/Signature/Requirement.h"
#include "Verify/Signature/SignatureFailure.h"
#include "Verify/Signature/SuperBlob.h"

namespace ostrel::signature {

namespace {

// Opcodes of the binary requirement language.
enum Opcode : uint32_t {
    opFalse = 0,
    opTrue = 1,
    opIdent = 2,
    opAppleAnchor = 3,
    opAnchorHash = 4,
    opAnd = 6,
    opOr = 7,
    opCDHash = 8,
    opNot = 9,
    opCertField = 11,
    opTrustedCert = 12,
    opTrustedCerts = 13,
    opCertGeneric = 14,
    opAppleGenericAnchor = 15,
    opNotarized = 21,
};
// Comparisons 0-8 follow the order of Requirement::Match; "absent" is 14.
constexpr uint32_t matchAbsentCode = 14;
constexpr uint32_t expressionKind = 1;
constexpr uint32_t designatedType = 3;
// Requirement sets hold a handful of entries (host, guest, designated, library).
constexpr uint32_t maxSetEntries = 16;

using Match = Requirement::Match;
using Op = Requirement::Op;

// The DER content octets of a dotted OID, as opCertGeneric stores it.
std::string oidToDer(const std::string& dotted) {
    Asn1ObjectPtr object(OBJ_txt2obj(dotted.c_str(), 1));
    if (!object)
        throw SignatureFailure::invalid("bad requirement");
    const unsigned char* data = OBJ_get0_data(object.get());
    return std::string(reinterpret_cast<const char*>(data), OBJ_length(object.get()));
}

std::string derToOid(const std::string& der, const ByteReader& reader) {
    // Wrap the content octets in an OBJECT IDENTIFIER header to read them.
    if (der.empty() || der.size() > 127)
        reader.fail("has a malformed certificate field");
    std::string wrapped = std::string("\x06", 1) + static_cast<char>(der.size()) + der;
    const auto* p = reinterpret_cast<const unsigned char*>(wrapped.data());
    Asn1ObjectPtr oid(d2i_ASN1_OBJECT(nullptr, &p, static_cast<long>(wrapped.size())));
    char text[128];
    int length = oid ? OBJ_obj2txt(text, sizeof text, oid.get(), 1) : -1;
    if (length <= 0 || length >= int(sizeof text))
        reader.fail("has a malformed certificate field");
    return std::string(text, length);
}

class Decoder {
public:
    explicit Decoder(const ByteReader& reader) : reader_(reader) {}

    Requirement expression(int depth) {
        if (depth > maxRequirementDepth)
            reader_.fail("is nested too deeply");
        uint32_t opcode = word();
        switch (opcode) {
        case opFalse:
            return {Op::never};
        case opTrue:
            return {Op::always};
        case opIdent:
            return withValue(Op::identifier, data());
        case opAppleAnchor:
            return {Op::anchorApple};
        case opAppleGenericAnchor:
            return {Op::anchorAppleGeneric};
        case opNotarized:
            return {Op::notarized};
        case opCDHash:
            return withValue(Op::cdhash, data());
        case opAnchorHash: {
            Requirement node{Op::certificateHash, slot()};
            node.value = data();
            return node;
        }
        case opTrustedCert:
            return {Op::anchorTrusted, slot()};
        case opTrustedCerts:
            return {Op::anchorTrusted, -1};
        case opNot: {
            Requirement node{Op::negation};
            node.operands.push_back(expression(depth + 1));
            return node;
        }
        case opAnd:
        case opOr: {
            Requirement node{opcode == opAnd ? Op::allOf : Op::anyOf};
            node.operands.push_back(expression(depth + 1));
            node.operands.push_back(expression(depth + 1));
            return node;
        }
        case opCertField:
        case opCertGeneric: {
            Requirement node{opcode == opCertField ? Op::certificateField : Op::certificateGeneric, slot()};
            node.key = data();
            if (opcode == opCertGeneric)
                node.key = derToOid(node.key, reader_);
            matchSuffix(node);
            return node;
        }
        default:
            reader_.fail("uses an unsupported operation");
        }
    }

    bool atEnd() const { return at_ == reader_.size(); }

private:
    uint32_t word() {
        uint32_t value = reader_.be32(at_);
        at_ += 4;
        return value;
    }
    int32_t slot() { return static_cast<int32_t>(word()); }
    std::string data() {
        uint32_t length = word();
        auto bytes = reader_.bytes(at_, length);
        at_ += (uint64_t(length) + 3) / 4 * 4;
        return std::string(bytes.begin(), bytes.end());
    }
    static Requirement withValue(Op op, std::string value) {
        Requirement node{op};
        node.value = std::move(value);
        return node;
    }
    void matchSuffix(Requirement& node) {
        uint32_t match = word();
        if (match <= uint32_t(Match::greaterEqual))
            node.match = static_cast<Match>(match);
        else if (match == matchAbsentCode)
            node.match = Match::absent;
        else
            reader_.fail("uses an unsupported comparison");
        if (node.match != Match::exists && node.match != Match::absent)
            node.value = data();
    }

    const ByteReader& reader_;
    uint64_t at_ = 0;
};

uint32_t matchCode(Match match) {
    return match == Match::absent ? matchAbsentCode : static_cast<uint32_t>(match);
}

class Encoder {
public:
    void expression(const Requirement& r) {
        switch (r.op) {
        case Op::never:
            return out_.be32(opFalse);
        case Op::always:
            return out_.be32(opTrue);
        case Op::identifier:
            out_.be32(opIdent);
            return data(r.value);
        case Op::anchorApple:
            return out_.be32(opAppleAnchor);
        case Op::anchorAppleGeneric:
            return out_.be32(opAppleGenericAnchor);
        case Op::anchorTrusted:
            out_.be32(opTrustedCert);
            return out_.be32(static_cast<uint32_t>(r.slot));
        case Op::certificateHash:
            out_.be32(opAnchorHash);
            out_.be32(static_cast<uint32_t>(r.slot));
            return data(r.value);
        case Op::cdhash:
            out_.be32(opCDHash);
            return data(r.value);
        case Op::notarized:
            return out_.be32(opNotarized);
        case Op::negation:
            out_.be32(opNot);
            return expression(r.operands.at(0));
        case Op::allOf:
        case Op::anyOf:
            out_.be32(r.op == Op::allOf ? opAnd : opOr);
            expression(r.operands.at(0));
            return expression(r.operands.at(1));
        case Op::certificateField:
        case Op::certificateGeneric:
            out_.be32(r.op == Op::certificateField ? opCertField : opCertGeneric);
            out_.be32(static_cast<uint32_t>(r.slot));
            data(r.op == Op::certificateField ? r.key : oidToDer(r.key));
            out_.be32(matchCode(r.match));
            if (r.match != Match::exists && r.match != Match::absent)
                data(r.value);
            return;
        }
    }
    ByteWriter& out() { return out_; }

private:
    void data(const std::string& bytes) {
        out_.be32(static_cast<uint32_t>(bytes.size()));
        out_.append(bytes);
        out_.padTo(4);
    }
    ByteWriter out_;
};

} // namespace

Requirement decodeRequirement(std::span<const uint8_t> blob) {
    ByteReader header(blob, "the requirement");
    if (header.be32(0) != blobMagic::requirement || header.be32(4) != blob.size() || header.be32(8) != expressionKind)
        header.fail("is malformed");
    ByteReader body = header.sub(12, blob.size() - 12, "the requirement");
    Decoder decoder(body);
    Requirement result = decoder.expression(0);
    return result;
}

std::optional<Requirement> decodeDesignatedRequirement(std::span<const uint8_t> set) {
    ByteReader reader(set, "the requirement set");
    if (reader.be32(0) != blobMagic::requirementSet || reader.be32(4) != set.size())
        reader.fail("is malformed");
    uint32_t count = reader.be32(8);
    if (count > maxSetEntries)
        reader.fail("is malformed");
    for (uint32_t i = 0; i < count; ++i) {
        if (reader.be32(12 + uint64_t(i) * 8) != designatedType)
            continue;
        uint32_t offset = reader.be32(16 + uint64_t(i) * 8);
        uint32_t length = reader.sub(offset, 8, "the requirement set").be32(4);
        return decodeRequirement(reader.bytes(offset, length));
    }
    return std::nullopt;
}

Bytes encodeRequirement(const Requirement& requirement) {
    Encoder encoder;
    encoder.expression(requirement);
    ByteWriter blob;
    blob.be32(blobMagic::requirement);
    blob.be32(static_cast<uint32_t>(12 + encoder.out().size()));
    blob.be32(expressionKind);
    blob.append(encoder.out().bytes());
    return blob.take();
}

Bytes encodeRequirementSet(const Requirement& designated) {
    Bytes requirement = encodeRequirement(designated);
    ByteWriter set;
    set.be32(blobMagic::requirementSet);
    set.be32(static_cast<uint32_t>(20 + requirement.size()));
    set.be32(1);
    set.be32(designatedType);
    set.be32(20);
    set.append(requirement);
    return set.take();
}

} // namespace ostrel::signature
