#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// Reads an installer component's "PackageInfo" XML for the one thing we use:
// the install location of its pkg-info element. External entities are never
// resolved and a document type with entity declarations is refused, so the
// file cannot make us read anything else or expand without bound.
class PackageInfoReader {
public:
    // Parses the document; false when it is not well-formed XML.
    bool parse(std::string_view xml);

    // The "install-location" attribute of the last pkg-info element seen.
    const std::optional<std::string>& installLocation() const { return installLocation_; }

private:
    std::optional<std::string> installLocation_;
};

} // namespace ostrel
