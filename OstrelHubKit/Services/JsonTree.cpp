#include "Services/JsonTree.h"

#include "Services/DecodingError.h"
#include "Services/JsonTextParser.h"

#include <algorithm>
#include <stdexcept>

namespace ostrel {

namespace {

JsonTree::Node stringNode(const std::string& text) {
    if (text.size() > JsonTree::maxExtent)
        throw std::length_error("A JSON string is too long for a JsonTree");
    return {.value = {.text = text.data()}, .extent = std::uint32_t(text.size()), .kind = JsonTree::Kind::string};
}

JsonTree::Node nodeFor(const nlohmann::json& value) {
    using Kind = JsonTree::Kind;
    JsonTree::Node node;
    switch (value.type()) {
    case nlohmann::json::value_t::null:
        break;
    case nlohmann::json::value_t::boolean:
        node.kind = Kind::boolean;
        node.value.boolean = value.get<bool>();
        break;
    case nlohmann::json::value_t::number_integer:
        node.kind = Kind::integer;
        node.value.integer = value.get<std::int64_t>();
        break;
    case nlohmann::json::value_t::number_unsigned:
        node.kind = Kind::whole;
        node.value.whole = value.get<std::uint64_t>();
        break;
    case nlohmann::json::value_t::number_float:
        node.kind = Kind::real;
        node.value.real = value.get<double>();
        break;
    case nlohmann::json::value_t::string: {
        node = stringNode(value.get_ref<const std::string&>());
        break;
    }
    case nlohmann::json::value_t::array:
    case nlohmann::json::value_t::object:
        node.kind = value.is_array() ? Kind::array : Kind::object;
        node.value.whole = value.size();
        break;
    default:
        node.kind = Kind::other;
        break;
    }
    return node;
}

// The text parsed by nlohmann::json, for the rare document the fast parser leaves to it: one
// that is not JSON (so its error is worded as ever) or holds what nlohmann::json accepts in
// its own way, such as a number too small for a double.
nlohmann::json parseOrThrow(std::string_view text) {
    try {
        return nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        throw DecodingError::notJson(error.byte);
    } catch (const nlohmann::json::exception&) {
        // a number too large for a double ("1e999") is the only other way parsing fails
        throw DecodingError({}, "Not valid JSON");
    }
}

} // namespace

JsonTree::JsonTree(const nlohmann::json& json) {
    add(json);
}

JsonTree JsonTree::parse(std::string_view text) {
    if (auto tree = JsonTextParser::parse(text))
        return std::move(*tree);
    JsonTree tree;
    tree.source_ = std::make_unique<const nlohmann::json>(parseOrThrow(text));
    tree.add(*tree.source_);
    return tree;
}

std::optional<JsonTree> JsonTree::tryParse(std::string_view text) {
    if (auto tree = JsonTextParser::parse(text))
        return tree;
    auto parsed = nlohmann::json::parse(text, nullptr, false);
    if (parsed.is_discarded())
        return std::nullopt;
    JsonTree tree;
    tree.source_ = std::make_unique<const nlohmann::json>(std::move(parsed));
    tree.add(*tree.source_);
    return tree;
}

// Without recursion, so a deeply nested document in memory cannot exhaust the stack.
void JsonTree::add(const nlohmann::json& top) {
    struct Open {
        Index node;
        nlohmann::json::const_iterator at;
        nlohmann::json::const_iterator end;
    };
    std::vector<Open> open;
    const auto push = [&](const nlohmann::json& value) {
        nodes_.push_back(nodeFor(value));
        if (value.is_structured())
            open.push_back({nodes_.size() - 1, value.cbegin(), value.cend()});
    };
    push(top);
    while (!open.empty()) {
        auto& container = open.back();
        if (container.at == container.end) {
            nodes_[container.node].extent = end();
            open.pop_back();
            continue;
        }
        const auto item = container.at++;
        if (kind(container.node) == Kind::object)
            nodes_.push_back(stringNode(item.key()));
        push(*item);
    }
}

std::uint32_t JsonTree::end() const {
    if (nodes_.size() > maxExtent)
        throw std::length_error("A JSON document holds too many values for a JsonTree");
    return std::uint32_t(nodes_.size());
}

std::optional<JsonTree::Index> JsonTree::find(Index object, std::string_view key) const {
    std::optional<Index> found;
    for (Index name = object + 1; name < nodes_[object].extent; name = next(name + 1))
        if (string(name) == key)
            found = name + 1;
    return found;
}

std::vector<std::pair<std::string_view, JsonTree::Index>> JsonTree::members(Index object) const {
    std::vector<std::pair<std::string_view, Index>> all;
    all.reserve(size(object));
    for (Index name = object + 1; name < nodes_[object].extent; name = next(name + 1))
        all.emplace_back(string(name), name + 1);
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    // Of a run of equal keys, which stays in document order, the last one counts.
    const auto last =
        std::unique(all.rbegin(), all.rend(), [](const auto& a, const auto& b) { return a.first == b.first; });
    all.erase(all.begin(), last.base());
    return all;
}

std::string JsonTree::pathOf(Index target) const {
    std::string path;
    for (Index at = root; at != target && isContainer(at);) {
        const bool object = kind(at) == Kind::object;
        Index child = at + 1;
        for (std::size_t position = 0;; ++position) {
            const Index value = object ? child + 1 : child;
            if (target < next(value)) {
                if (object)
                    path = path.empty() ? std::string(string(child)) : path + "." + std::string(string(child));
                else
                    path += "[" + std::to_string(position) + "]";
                at = value;
                break;
            }
            child = next(value);
        }
    }
    return path;
}

} // namespace ostrel
