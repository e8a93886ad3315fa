#include "board/OrderListModel.h"

#include <algorithm>

namespace brisfold {

OrderListModel::OrderListModel(QObject *parent)
    : QAbstractListModel(parent)
{}

int OrderListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant OrderListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    // The card is painted by the delegate; the display text serves accessibility and look-ups.
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return row(index.row()).IDPEDIDO;
    return {};
}

Qt::ItemFlags OrderListModel::flags(const QModelIndex &index) const
{
    // Cards are read only.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

void OrderListModel::setRows(std::vector<OrderRow> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int OrderListModel::rowOfId(qint64 id) const
{
    const auto found =
        std::find_if(rows_.begin(), rows_.end(), [id](const OrderRow &r) { return r.ID == id; });
    return found == rows_.end() ? -1 : int(found - rows_.begin());
}

} // namespace brisfold
