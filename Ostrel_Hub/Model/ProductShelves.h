#pragma once

#include "Model/InstalledOnDisk.h"
#include "Model/StoreState.h"

#include <QString>
#include <QStringList>
#include <map>
#include <string>

namespace ostrel::hub {

// The product lists the screens show besides the catalogue itself, chosen from the hub's state.
// Each keeps storefront order.
namespace ProductShelves {

// The hero carousel's size.
inline constexpr std::size_t featuredCount = 5;

// The store's products that have an icon, at most featuredCount.
StoreState::Products featured(const StoreState& state);
// The store's products the user does not own.
StoreState::Products notOwned(const StoreState& state);
// The store's products on the wishlist.
StoreState::Products wishlisted(const StoreState& state, const QStringList& ids);
// The store's products this machine has, by the ledger, and whose bundles are not all gone.
StoreState::Products installed(const StoreState& state, const std::map<std::string, InstalledOnDisk>& disk);

// The library's picker: every owned product, only the installed ones, or only the others.
enum class LibraryFilter { all = 0, installed = 1, notInstalled = 2 };
StoreState::Products library(const StoreState& state, const std::map<std::string, InstalledOnDisk>& disk,
                             LibraryFilter filter);
// "<n> owned, <m> installed".
QString libraryCountLine(const StoreState& state, const std::map<std::string, InstalledOnDisk>& disk);

} // namespace ProductShelves

} // namespace ostrel::hub
