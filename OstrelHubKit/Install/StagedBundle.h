#pragma once

#include "Install/BundleKind.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ostrel {

// A bundle taken out of a download, waiting in the staging folder for its
// signature check and placement.
struct StagedBundle {
    std::filesystem::path url;
    BundleKind kind = BundleKind::vst3;

    std::string name() const { return url.filename().string(); }
    bool operator==(const StagedBundle&) const = default;
};

// What unpacking a download produced: the staged bundles, and remarks for the
// user such as installer scripts that were skipped.
struct Extraction {
    std::vector<StagedBundle> bundles;
    std::vector<std::string> notes;
    bool operator==(const Extraction&) const = default;
};

} // namespace ostrel
