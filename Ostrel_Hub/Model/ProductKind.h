#pragma once

#include <string_view>

namespace ostrel::hub {

// What sort of thing a product is; the catalogue's screens are split by it.
enum class ProductKind { plugIn, app, game };

// "Plug-ins", "Apps" or "Games": shown as a title and searched as text.
constexpr std::string_view rawValue(ProductKind kind) {
    switch (kind) {
    case ProductKind::plugIn:
        return "Plug-ins";
    case ProductKind::app:
        return "Apps";
    case ProductKind::game:
        return "Games";
    }
    return "Plug-ins";
}

} // namespace ostrel::hub
