#pragma once

#include <cstddef>
#include <functional>
#include <nlohmann/json.hpp>

namespace ostrel {

// Hashes any encodable record through its JSON form, so records can key
// unordered containers: std::unordered_set<StorefrontProduct, RecordHash>.
// Equal records encode to equal JSON, and equal JSON hashes alike (0.0 and
// -0.0 included).
struct RecordHash {
    template <class Record>
    std::size_t operator()(const Record& record) const {
        return std::hash<nlohmann::json>{}(nlohmann::json(record));
    }
};

} // namespace ostrel
