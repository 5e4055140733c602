#pragma once

#include "Catalog/BoundedJson.h"
#include "Services/JsonReader.h"
#include "Util/Error.h"

#include <cstddef>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace ostrel {

// The last good copy of what the services sent, one small JSON file per key, so the next start
// shows the catalog before any request has answered. A snapshot has no age and no version:
// it lasts until it is replaced or removed, and one that no longer decodes is simply absent.
// Holds no state beyond its folder; every operation touches only its own file.
struct SnapshotCache {
    // Largest snapshot file read back; a storefront of ten thousand products stays far below.
    static constexpr std::size_t maxFileBytes = std::size_t{32} * 1024 * 1024;

    std::filesystem::path directory;

    // A cache in the hub's "snapshots" caches folder, or none when that cannot be made.
    static std::optional<SnapshotCache> standard();

    // The key's file: its sanitised name (or "download") followed by ".json", in `directory`.
    std::filesystem::path file(const std::string& key) const;

    // Replaces the key's snapshot as a whole with `value` encoded, readable by the owner only.
    // Throws SnapshotError; a value that cannot be encoded writes nothing.
    template <class T>
    void save(const T& value, const std::string& key) const {
        write(key, nlohmann::json(value));
    }

    // The key's snapshot decoded as T, or none when it is missing, unreadable, too large or of
    // another shape.
    template <class T>
    std::optional<T> load(const std::string& key) const {
        const auto bytes = read(key);
        const auto document = bytes ? BoundedJson::parse(*bytes) : std::nullopt;
        if (!document)
            return std::nullopt;
        try {
            return decodeJson<T>(*document);
        } catch (const DecodingError&) {
            return std::nullopt;
        }
    }

    // Deletes the key's snapshot; nothing to delete, or a failure, is no error.
    void remove(const std::string& key) const noexcept;

private:
    void write(const std::string& key, const nlohmann::json& document) const;
    std::optional<std::string> read(const std::string& key) const;
};

// A snapshot that could not be written. The old snapshot, if any, is unchanged.
class SnapshotError : public Error {
public:
    SnapshotError() : Error("The offline copy of the store could not be saved.") {}
};

} // namespace ostrel
