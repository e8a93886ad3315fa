#include "board/BoardQuery.h"

#include "store/Database.h"

namespace brisfold {

std::vector<OrderRow> readOrderRows(const ResultSet &result)
{
    // Columns are looked up once, not once per row.
    const auto column = [&result](QStringView name) {
        const int index = result.columnIndex(name);
        if (index < 0)
            throw DatabaseError("Campo '" + name.toString().toStdString() + "' não encontrado");
        return index;
    };
    const int id = column(u"ID"), idPedido = column(u"IDPEDIDO"), cliente = column(u"CLIENTE"),
              telefone = column(u"TELEFONE"), endereco = column(u"ENDERECO"), latitude = column(u"LATITUDE"),
              longitude = column(u"LONGITUDE"), dataHora = column(u"DATAHORA"), idMch = column(u"ID_MCH");

    std::vector<OrderRow> rows;
    rows.reserve(size_t(result.rowCount()));
    for (int r = 0; r < result.rowCount(); ++r) {
        OrderRow row;
        row.ID = result.value(r, id).toLongLong();
        row.IDPEDIDO = result.value(r, idPedido).toString();
        row.CLIENTE = result.value(r, cliente).toString();
        row.TELEFONE = result.value(r, telefone).toString();
        row.ENDERECO = result.value(r, endereco).toString();
        row.LATITUDE = result.value(r, latitude).toString();
        row.LONGITUDE = result.value(r, longitude).toString();
        row.DATAHORA = result.value(r, dataHora).toString();
        row.ID_MCH = result.value(r, idMch).toString();
        rows.push_back(std::move(row));
    }
    return rows;
}

QString countLineText(int rowCount)
{
    if (rowCount < 1)
        return QStringLiteral("SEM PEDIDOS");
    return QString::number(rowCount) + QStringLiteral(" PEDIDOS INTEGRADOS");
}

} // namespace brisfold
