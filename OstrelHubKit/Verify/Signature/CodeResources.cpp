#include "Verify/Signature/CodeResources.h"

#include "Verify/Signature/PropertyList.h"
#include "Verify/Signature/SignatureDefect.h"

namespace ostrel {
namespace {

constexpr size_t sha1Size = 20;
constexpr size_t sha256Size = 32;

std::optional<std::vector<uint8_t>> digestMember(plist_t dict, const char* key, size_t size, const std::string& path) {
    plist_t node = PropertyList::member(dict, key);
    if (node == nullptr)
        return std::nullopt;
    auto bytes = PropertyList::data(node);
    if (!bytes || bytes->size() != size)
        throw SignatureDefect("the seal of " + path + " is malformed");
    return bytes;
}

SealedResource readEntry(plist_t value, const std::string& shown) {
    SealedResource entry;
    if (auto bare = PropertyList::data(value)) { // the oldest form: just a SHA-1
        if (bare->size() != sha1Size)
            throw SignatureDefect("the seal of " + shown + " is malformed");
        entry.sha1 = std::move(bare);
        return entry;
    }
    if (!PropertyList::isDictionary(value))
        throw SignatureDefect("the seal of " + shown + " is malformed");
    entry.optional = PropertyList::boolean(PropertyList::member(value, "optional")).value_or(false);
    if (plist_t link = PropertyList::member(value, "symlink")) {
        auto target = PropertyList::text(link);
        if (!target)
            throw SignatureDefect("the seal of " + shown + " is malformed");
        entry.kind = SealedResource::Kind::symlink;
        entry.symlinkTarget = *target;
        return entry;
    }
    if (PropertyList::member(value, "cdhash") != nullptr || PropertyList::member(value, "requirement") != nullptr) {
        auto cdhash = PropertyList::data(PropertyList::member(value, "cdhash"));
        auto requirement = PropertyList::text(PropertyList::member(value, "requirement"));
        if (!cdhash || !requirement || cdhash->empty())
            throw SignatureDefect("the seal of nested code " + shown + " is malformed");
        entry.kind = SealedResource::Kind::nestedCode;
        entry.cdhash = std::move(*cdhash);
        entry.requirement = std::move(*requirement);
        return entry;
    }
    entry.sha1 = digestMember(value, "hash", sha1Size, shown);
    entry.sha256 = digestMember(value, "hash2", sha256Size, shown);
    if (!entry.sha1 && !entry.sha256)
        throw SignatureDefect("the seal of " + shown + " has no hash");
    return entry;
}

ResourceRule readRule(const std::string& pattern, plist_t value) {
    ResourceRule rule{.pattern = pattern};
    if (auto flag = PropertyList::boolean(value)) {
        rule.omit = !*flag;
        return rule;
    }
    if (!PropertyList::isDictionary(value))
        throw SignatureDefect("the resource rule \"" + pattern + "\" is malformed");
    rule.omit = PropertyList::boolean(PropertyList::member(value, "omit")).value_or(false);
    rule.optional = PropertyList::boolean(PropertyList::member(value, "optional")).value_or(false);
    rule.nested = PropertyList::boolean(PropertyList::member(value, "nested")).value_or(false);
    if (plist_t weight = PropertyList::member(value, "weight")) {
        auto number = PropertyList::wholeNumber(weight);
        if (!number)
            throw SignatureDefect("the resource rule \"" + pattern + "\" is malformed");
        rule.weight = *number;
    }
    return rule;
}

} // namespace

CodeResources CodeResources::parse(std::span<const uint8_t> bytes, const std::string& shownAs) {
    PropertyList list = PropertyList::parse(bytes, shownAs);
    plist_t files = PropertyList::member(list.root(), "files2");
    plist_t rules = PropertyList::member(list.root(), "rules2");
    CodeResources seal;
    if (files == nullptr) {
        files = PropertyList::member(list.root(), "files");
        rules = PropertyList::member(list.root(), "rules");
        seal.legacy = true;
    }
    if (!PropertyList::isDictionary(files) || !PropertyList::isDictionary(rules))
        throw SignatureDefect(shownAs + " has no sealed file list");
    PropertyList::forEach(
        files, [&](const std::string& key, plist_t value) { seal.files.emplace(key, readEntry(value, key)); });
    PropertyList::forEach(rules,
                          [&](const std::string& pattern, plist_t value) { seal.rules.add(readRule(pattern, value)); });
    return seal;
}

} // namespace ostrel
