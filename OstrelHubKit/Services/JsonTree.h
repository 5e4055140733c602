#pragma once

#include <cstddef>
#include <cstdint>
#include <forward_list>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrel {

// A JSON document as one flat array of nodes in document order, each container followed by
// its contents; strings point into the parsed text wherever they needed no unescaping. Reading
// a large answer this way costs a fraction of building (and freeing) a nlohmann::json, which
// keeps a heap block per value and per key. The text is accepted exactly as nlohmann::json
// accepts it, with the same errors; a document whose keys repeat reads as its last value for
// each key, as there.
class JsonTree {
public:
    // `other` is what no parsed document holds: a binary or discarded nlohmann::json value.
    enum class Kind : std::uint8_t { null, boolean, integer, whole, real, string, array, object, other };
    using Index = std::size_t;
    static constexpr Index root = 0;

    struct Node {
        union Value {
            const char* text; // string: its bytes
            std::int64_t integer;
            std::uint64_t whole; // a number written without a sign or fraction, or a container's count
            double real;
            bool boolean;
        } value{.whole = 0};
        std::uint32_t extent = 0; // string: its length; container: the index just past its contents
        Kind kind = Kind::null;
    };
    // At sixteen bytes a node, a large document's tree stays near the size of its text; the
    // price is that strings and trees stop at 4 GiB, far beyond anything the hub reads.
    static constexpr std::size_t maxExtent = UINT32_MAX;
    static_assert(sizeof(Node) == 16);

    // `text` parsed; the tree points into it, so the text must outlive the tree. Text that is
    // not JSON throws DecodingError naming the byte where it stops being JSON.
    static JsonTree parse(std::string_view text);
    static JsonTree parse(const std::string&&) = delete;
    // `text` parsed, or none when it is not JSON.
    static std::optional<JsonTree> tryParse(std::string_view text);
    static std::optional<JsonTree> tryParse(const std::string&&) = delete;

    // A view of a document already in memory, which must outlive the tree. Throws
    // std::length_error when it holds a string or more values than a tree can (see maxExtent).
    explicit JsonTree(const nlohmann::json& json);

    // Nodes point into the tree's own storage, which moves along but is never copied.
    JsonTree(JsonTree&&) noexcept = default;
    JsonTree& operator=(JsonTree&&) noexcept = default;
    JsonTree(const JsonTree&) = delete;
    JsonTree& operator=(const JsonTree&) = delete;
    ~JsonTree() = default;

    Kind kind(Index node) const { return nodes_[node].kind; }
    const Node& node(Index node) const { return nodes_[node]; }
    std::string_view string(Index node) const { return {nodes_[node].value.text, nodes_[node].extent}; }
    // The elements of an array, or the members of an object as written (a repeated key counts
    // each time it appears).
    std::size_t size(Index container) const { return std::size_t(nodes_[container].value.whole); }
    // The index just past `node` and everything in it: its next sibling, if it has one.
    Index next(Index node) const { return isContainer(node) ? nodes_[node].extent : node + 1; }

    // The value of the object's member `key`, the last one when the key repeats.
    std::optional<Index> find(Index object, std::string_view key) const;
    // The object's members by key in byte order, each key once with its last value.
    std::vector<std::pair<std::string_view, Index>> members(Index object) const;
    // Where `node` sits, as "products[2].name"; empty for the top level.
    std::string pathOf(Index node) const;

private:
    friend class JsonTextParser;

    JsonTree() = default;
    bool isContainer(Index node) const { return kind(node) == Kind::array || kind(node) == Kind::object; }
    void add(const nlohmann::json& value);
    std::uint32_t end() const;

    std::vector<Node> nodes_;
    std::forward_list<std::string> unescaped_;     // strings that differ from their text; a list never moves them
    std::unique_ptr<const nlohmann::json> source_; // what a document parsed by nlohmann::json points into
};

} // namespace ostrel
