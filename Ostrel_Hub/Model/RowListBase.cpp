#include "Model/RowListBase.h"

namespace ostrel::hub {

CountedListModel::CountedListModel(QObject* parent) : QAbstractListModel(parent) {}

} // namespace ostrel::hub
