#pragma once

#include "Catalog/ExtrasItem.h"
#include "Model/ExtrasListModel.h"

#include <QString>
#include <QVariantMap>

namespace ostrel::hub::ExtrasText {

// How an item's page and tile say it can be had: "hub" (installs through the hub), "github"
// (a release page on GitHub), "release" (another release page) or "soon" (nothing yet).
QString routeName(const ExtrasItem::InstallRoute& route);
// The item's kind as a title: "tool" → "Tool".
QString kindTitle(const ExtrasItem& item);
// "Free Tools" or "Early Access".
QString shelfTitle(ExtrasItem::Shelf shelf);

// The item as a tile of a shelf or of the search results shows it.
ExtrasRow row(const ExtrasItem& item, const ExtrasItem::InstallRoute& route);

// The action of an item's page: `kind` "hub", "view", "github" or "soon", the button's `title`
// (`hubTitle` for an item the hub installs) and its `detail` line.
QVariantMap action(const ExtrasItem::InstallRoute& route, const QString& hubTitle);

// What an item's page shows; `hubTitle` is the title of the hub's own action button for the
// product that delivers it.
QVariantMap page(const ExtrasItem& item, const ExtrasItem::InstallRoute& route, const QString& hubTitle);

} // namespace ostrel::hub::ExtrasText
