#pragma once

#include "board/BoardQuery.h"

#include <QAbstractListModel>
#include <vector>

namespace brisfold {

// The rows of the last board refresh, one card per row.
class OrderListModel final : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OrderListModel)

public:
    explicit OrderListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void setRows(std::vector<OrderRow> rows);
    const OrderRow &row(int row) const { return rows_[size_t(row)]; }
    // The row holding the order with this ID, or -1.
    int rowOfId(qint64 id) const;

private:
    std::vector<OrderRow> rows_;
};

} // namespace brisfold
