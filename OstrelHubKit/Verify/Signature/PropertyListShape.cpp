#include "Verify/Signature/PropertyListShape.h"

#include "Verify/Signature/BigEndianBytes.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
#include <vector>

#include <expat.h>

namespace ostrel::PropertyListShape {
namespace {

struct ParserFree {
    void operator()(XML_ParserStruct* p) const { XML_ParserFree(p); }
};

struct XmlDepth {
    XML_Parser parser;
    int depth = 0;
    bool refused = false;
};

void refuse(XmlDepth& state) {
    state.refused = true;
    XML_StopParser(state.parser, XML_FALSE);
}

// A binary list's trailer and offset table, with every size checked.
struct BinaryIndex {
    std::span<const uint8_t> bytes;
    unsigned offsetSize = 0;
    unsigned refSize = 0;
    uint64_t objects = 0;
    uint64_t top = 0;
    uint64_t tableAt = 0;

    uint64_t sized(uint64_t at, unsigned size) const {
        uint64_t value = 0;
        for (unsigned i = 0; i < size; ++i)
            value = (value << 8) | bytes[at + i];
        return value;
    }
    uint64_t offsetOf(uint64_t object) const { return sized(tableAt + object * offsetSize, offsetSize); }
};

std::optional<BinaryIndex> indexOf(std::span<const uint8_t> bytes) {
    constexpr size_t trailer = 32;
    if (bytes.size() < 8 + trailer)
        return std::nullopt;
    BinaryIndex index{.bytes = bytes};
    size_t t = bytes.size() - trailer;
    index.offsetSize = bytes[t + 6];
    index.refSize = bytes[t + 7];
    index.objects = *BigEndianBytes::u64(bytes, t + 8);
    index.top = *BigEndianBytes::u64(bytes, t + 16);
    index.tableAt = *BigEndianBytes::u64(bytes, t + 24);
    bool sizesOk = index.offsetSize >= 1 && index.offsetSize <= 8 && index.refSize >= 1 && index.refSize <= 8;
    if (!sizesOk || index.objects == 0 || index.objects > bytes.size() || index.top >= index.objects ||
        !BigEndianBytes::fits(index.tableAt, index.objects * index.offsetSize, t))
        return std::nullopt;
    return index;
}

// The objects an array, set or dictionary refers to; empty for other objects.
// Absent when the object is malformed.
std::optional<std::vector<uint64_t>> childrenOf(const BinaryIndex& index, uint64_t object) {
    uint64_t at = index.offsetOf(object);
    size_t end = index.bytes.size() - 32;
    if (at >= end)
        return std::nullopt;
    uint8_t marker = index.bytes[at];
    uint8_t kind = marker >> 4;
    if (kind != 0xA && kind != 0xB && kind != 0xC && kind != 0xD)
        return std::vector<uint64_t>{};
    uint64_t count = marker & 0x0F;
    uint64_t refsAt = at + 1;
    if (count == 0x0F) { // the count follows as an integer object
        if (refsAt >= end || (index.bytes[refsAt] >> 4) != 0x1 || (index.bytes[refsAt] & 0x0F) > 3)
            return std::nullopt;
        unsigned size = 1u << (index.bytes[refsAt] & 0x0F);
        if (!BigEndianBytes::fits(refsAt + 1, size, end))
            return std::nullopt;
        count = index.sized(refsAt + 1, size);
        refsAt += 1 + size;
    }
    uint64_t refs = kind == 0xD ? count * 2 : count;
    if (count > end || !BigEndianBytes::fits(refsAt, refs * index.refSize, end))
        return std::nullopt;
    std::vector<uint64_t> children;
    for (uint64_t i = 0; i < refs; ++i) {
        uint64_t child = index.sized(refsAt + i * index.refSize, index.refSize);
        if (child >= index.objects)
            return std::nullopt;
        children.push_back(child);
    }
    return children;
}

// An iterative depth-first walk of a binary list's objects; each object's
// height (levels, itself included) and expanded size are worked out once. A
// cycle is refused.
class BinaryMeasure {
public:
    explicit BinaryMeasure(const BinaryIndex& index)
        : index_(index), marks_(index.objects, Mark::unseen), height_(index.objects, 0), expanded_(index.objects, 1) {}

    bool withinLimits() {
        if (!enter(index_.top))
            return false;
        while (!stack_.empty()) {
            if (!step())
                return false;
        }
        return height_[index_.top] <= maxDepth && expanded_[index_.top] <= maxExpandedObjects;
    }

private:
    enum class Mark : uint8_t { unseen, open, done };
    struct Frame {
        uint64_t object;
        std::vector<uint64_t> children;
        size_t next = 0;
    };

    bool enter(uint64_t object) {
        auto children = childrenOf(index_, object);
        if (!children || static_cast<int>(stack_.size()) >= maxDepth)
            return false;
        marks_[object] = Mark::open;
        stack_.push_back({object, std::move(*children)});
        return true;
    }

    // Visits the next child of the innermost open object, or closes it.
    bool step() {
        Frame& frame = stack_.back();
        if (frame.next == frame.children.size()) {
            uint64_t done = frame.object;
            marks_[done] = Mark::done;
            height_[done] += 1;
            stack_.pop_back();
            if (!stack_.empty())
                absorb(stack_.back().object, done);
            return true;
        }
        uint64_t child = frame.children[frame.next++];
        if (marks_[child] == Mark::open)
            return false;
        if (marks_[child] == Mark::done) {
            absorb(frame.object, child);
            return true;
        }
        return enter(child);
    }

    // Adds a finished child's measures to an object that refers to it.
    void absorb(uint64_t parent, uint64_t child) {
        height_[parent] = std::max(height_[parent], height_[child]);
        expanded_[parent] = std::min(expanded_[parent] + expanded_[child], maxExpandedObjects + 1);
    }

    const BinaryIndex& index_;
    std::vector<Mark> marks_;
    std::vector<int> height_;
    std::vector<uint64_t> expanded_;
    std::vector<Frame> stack_;
};

} // namespace

bool xmlWithinLimits(std::span<const uint8_t> bytes) {
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
    if (!parser || bytes.size() > static_cast<size_t>(INT_MAX))
        return false;
    XmlDepth state{parser.get(), 0, false};
    XML_SetUserData(parser.get(), &state);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetEntityDeclHandler(parser.get(), [](void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                              const XML_Char*, const XML_Char*,
                                              const XML_Char*) { refuse(*static_cast<XmlDepth*>(data)); });
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const XML_Char*, const XML_Char**) {
            auto& state = *static_cast<XmlDepth*>(data);
            if (++state.depth > maxDepth)
                refuse(state);
        },
        [](void* data, const XML_Char*) { --static_cast<XmlDepth*>(data)->depth; });
    XML_Status status =
        XML_Parse(parser.get(), reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), XML_TRUE);
    return status == XML_STATUS_OK && !state.refused;
}

bool binaryWithinLimits(std::span<const uint8_t> bytes) {
    auto index = indexOf(bytes);
    return index && BinaryMeasure(*index).withinLimits();
}

} // namespace ostrel::PropertyListShape
