#pragma once

#include "Model/InstalledOnDisk.h"

#include <QString>
#include <QVariantMap>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::hub::LibraryRowText {

// The catalogue's formats text ("VST3, AU, CLAP") in the words of a library row, joined with
// " + " ("VST3 + Audio Unit + CLAP").
QString formats(std::string_view catalogueFormats);

// What a library row knows of its product.
struct RowFacts {
    std::string catalogueFormats{};
    bool isApp = false;
    bool hasMacDownload = false;
    std::optional<std::string> latestVersion{};
    std::optional<std::string> installedVersion{}; // from the ledger
    InstalledOnDisk disk{};
};

// "Removed outside the hub", "Installed <v>", "No macOS download yet" or
// "Not installed. Latest <v>".
QString stateLine(const RowFacts& facts);

// `formats`, `stateLine`, `olderCopy`, `isApp` and `installed` of one row.
QVariantMap row(const RowFacts& facts);

} // namespace ostrel::hub::LibraryRowText
