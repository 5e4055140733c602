#include "Model/ExtrasListModel.h"

namespace ostrel::hub {

ExtrasListModel::ExtrasListModel(QObject* parent)
    : RowListBase({{ItemIdRole, "itemId", [](const ExtrasRow& row) { return QVariant(row.itemId); }},
                   {TitleRole, "title", [](const ExtrasRow& row) { return QVariant(row.title); }},
                   {SummaryRole, "summary", [](const ExtrasRow& row) { return QVariant(row.summary); }},
                   {IconUrlRole, "iconUrl", [](const ExtrasRow& row) { return QVariant(row.iconUrl); }},
                   {KindTitleRole, "kindTitle", [](const ExtrasRow& row) { return QVariant(row.kindTitle); }},
                   {RouteRole, "route", [](const ExtrasRow& row) { return QVariant(row.route); }}},
                  {.displayRole = TitleRole}, parent) {}

} // namespace ostrel::hub
