#pragma once

#include "Services/RawValueTable.h"

#include <string_view>

namespace ostrel::hub {

// What sort of thing a product is; the catalogue's screens are split by it.
enum class ProductKind { plugIn, app, game };

inline constexpr RawValueTable<ProductKind, 3> productKindNames{
    .entries = {{{ProductKind::plugIn, "Plug-ins"}, {ProductKind::app, "Apps"}, {ProductKind::game, "Games"}}},
    .fallback = ProductKind::plugIn,
};

// "Plug-ins", "Apps" or "Games": shown as a title and searched as text.
constexpr std::string_view rawValue(ProductKind kind) {
    return productKindNames.name(kind);
}

} // namespace ostrel::hub
