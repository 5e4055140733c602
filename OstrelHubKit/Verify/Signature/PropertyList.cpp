#include "Verify/Signature/PropertyList.h"

#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/PropertyListShape.h"
#include "Verify/Signature/SignatureDefect.h"

#include <cmath>
#include <cstdlib>
#include <memory>

namespace ostrel {

namespace {

struct XmlFree {
    void operator()(char* xml) const { plist_to_xml_free(xml); }
};

// libplist's binary reader accepts dictionary keys (with inner NUL bytes) that
// its own accessors then abort on. A binary list is therefore written out as
// XML and read back, which yields only keys the accessors accept.
plist_t normalisedBinary(plist_t binary) {
    char* raw = nullptr;
    uint32_t length = 0;
    plist_to_xml(binary, &raw, &length);
    std::unique_ptr<char, XmlFree> xml(raw);
    plist_t node = nullptr;
    if (xml && length > 0)
        plist_from_xml(xml.get(), length, &node);
    return node;
}

// Hands libplist only lists it can read safely (see PropertyListShape);
// null when the bytes are refused or unreadable.
plist_t parseMeasured(std::span<const uint8_t> bytes) {
    const char* chars = reinterpret_cast<const char*>(bytes.data());
    auto length = static_cast<uint32_t>(bytes.size());
    plist_t node = nullptr;
    if (!plist_is_binary(chars, length)) {
        if (PropertyListShape::xmlWithinLimits(bytes))
            plist_from_xml(chars, length, &node);
        return node;
    }
    if (!PropertyListShape::binaryWithinLimits(bytes))
        return nullptr;
    plist_from_bin(chars, length, &node);
    std::unique_ptr<void, decltype(&plist_free)> binary(node, &plist_free);
    return binary ? normalisedBinary(binary.get()) : nullptr;
}

} // namespace

PropertyList PropertyList::parse(std::span<const uint8_t> bytes, std::string_view shownAs) {
    plist_t node = bytes.empty() || bytes.size() > maxFileBytes ? nullptr : parseMeasured(bytes);
    if (node == nullptr)
        throw SignatureDefect(std::string(shownAs) + " is not a readable property list");
    return PropertyList(node);
}

bool PropertyList::isDictionary(plist_t node) {
    return node != nullptr && plist_get_node_type(node) == PLIST_DICT;
}

plist_t PropertyList::member(plist_t dict, const char* key) {
    return isDictionary(dict) ? plist_dict_get_item(dict, key) : nullptr;
}

std::optional<std::string> PropertyList::text(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    uint64_t length = 0;
    const char* chars = plist_get_string_ptr(node, &length);
    if (chars == nullptr)
        return std::nullopt;
    return std::string(chars, length);
}

std::optional<std::vector<uint8_t>> PropertyList::data(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_DATA)
        return std::nullopt;
    uint64_t length = 0;
    const char* bytes = plist_get_data_ptr(node, &length);
    if (bytes == nullptr && length != 0)
        return std::nullopt;
    const auto* begin = reinterpret_cast<const uint8_t*>(bytes);
    return std::vector<uint8_t>(begin, begin + length);
}

std::optional<bool> PropertyList::boolean(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_BOOLEAN)
        return std::nullopt;
    uint8_t value = 0;
    plist_get_bool_val(node, &value);
    return value != 0;
}

std::optional<int64_t> PropertyList::integer(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_UINT)
        return std::nullopt;
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    return static_cast<int64_t>(value);
}

std::optional<int64_t> PropertyList::wholeNumber(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_REAL)
        return integer(node);
    double value = 0;
    plist_get_real_val(node, &value);
    // The range check also refuses NaN.
    if (!(value >= -9.0e18 && value <= 9.0e18) || std::trunc(value) != value)
        return std::nullopt;
    return static_cast<int64_t>(value);
}

void PropertyList::forEach(plist_t dict, const std::function<void(const std::string&, plist_t)>& visit) {
    if (!isDictionary(dict))
        return;
    plist_dict_iter raw = nullptr;
    plist_dict_new_iter(dict, &raw);
    // Owned here so a visitor that throws does not leak the iterator.
    std::unique_ptr<void, decltype(&std::free)> iter(raw, &std::free);
    if (!iter)
        return;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dict, iter.get(), &key, &value);
        if (key == nullptr)
            break;
        std::string name(key);
        std::free(key);
        visit(name, value);
    }
}

} // namespace ostrel
