#include "Model/Catalog.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace ostrel::hub {

namespace {

struct Row {
    std::string_view id;
    ProductKind kind;
    std::string_view category;
    std::string_view formats;
};

constexpr auto plugIn = ProductKind::plugIn;
constexpr auto app = ProductKind::app;
constexpr auto game = ProductKind::game;

// The maker's products. The store knows only names and prices, so the shelf and the formats
// a product is shown with live here.
constexpr std::array<Row, 23> rows{{
    {"aurora-verb", plugIn, "Time & Space", "VST3, AU, CLAP"},
    {"tidal-delay", plugIn, "Time & Space", "VST3, AU, CLAP"},
    {"echo-lab", plugIn, "Time & Space", "VST3, AU, CLAP"},
    {"velvet-comp", plugIn, "Dynamics", "VST3, AU, CLAP"},
    {"night-shift", plugIn, "Dynamics", "VST3, AU"},
    {"prism-eq", plugIn, "EQ & Saturation", "CLAP"},
    {"saturn-drive", plugIn, "EQ & Saturation", "VST3, AU, CLAP"},
    {"grain-field", plugIn, "Instruments", "VST3, AU, CLAP"},
    {"drift-bass", plugIn, "Instruments", "VST3, AU"},
    {"glass-keys", plugIn, "Instruments", "VST3, AU, CLAP"},
    {"halo-chorus", plugIn, "Stereo & Imaging", "AU"},
    {"vox-shift", plugIn, "Pitch & Voice", "VST3, AU, CLAP"},
    {"pulse-gate", plugIn, "Creative & Character", "VST"},
    {"crumble", plugIn, "Creative & Character", "VST3, AU, CLAP, VST"},
    {"meter-one", plugIn, "Utilities", "VST3, AU, CLAP, VST"},
    {"studio-pass", plugIn, "Utilities", "VST3, AU, CLAP"},
    {"sketchpad", app, "Productivity", "App"},
    {"setlist", app, "Productivity", "App"},
    {"stem-split", app, "Audio", "App"},
    {"ostrel-tuner", app, "Utilities", "App"},
    {"ear-rest", app, "Health", "App"},
    {"pitch-pong", game, "Games", "App"},
    {"chord-quest", game, "Games", "App"},
}};

constexpr std::array<std::string_view, 11> shelves{
    "Instruments",          "Dynamics",     "EQ & Saturation", "Time & Space", "Stereo & Imaging", "Pitch & Voice",
    "Creative & Character", "Productivity", "Audio",           "Utilities",    "Health",
};

// The shelf's place in the fixed order; 11 for a category the order does not name.
size_t shelfRank(std::string_view category) {
    return static_cast<size_t>(std::distance(shelves.begin(), std::find(shelves.begin(), shelves.end(), category)));
}

} // namespace

namespace Catalog {

const std::map<std::string, CatalogEntry, std::less<>>& entries() {
    static const auto table = [] {
        std::map<std::string, CatalogEntry, std::less<>> made;
        for (const auto& row : rows)
            made.emplace(row.id, CatalogEntry{row.kind, std::string(row.category), std::string(row.formats)});
        return made;
    }();
    return table;
}

CatalogEntry entry(std::string_view id) {
    const auto& table = entries();
    const auto found = table.find(id);
    if (found == table.end())
        return {.kind = ProductKind::plugIn, .category = "Plug-ins", .formats = ""};
    return found->second;
}

bool shelfOrder(std::string_view a, std::string_view b) {
    const auto rankA = shelfRank(a);
    const auto rankB = shelfRank(b);
    if (rankA != rankB)
        return rankA < rankB;
    return a < b;
}

} // namespace Catalog

} // namespace ostrel::hub
