#include "board/BoardQuery.h"

#include "store/Database.h"

namespace brisfold {

std::vector<OrderRow> readOrderRows(Database &db)
{
    std::vector<OrderRow> rows;
    db.read(FDQueryPedidosSql, {}, [&rows](Rows &result) {
        // Columns are looked up once, not once per row.
        const auto column = [&result](QStringView name) {
            const int index = result.columnIndex(name);
            if (index < 0)
                throw DatabaseError("Campo '" + name.toString().toStdString() + "' não encontrado");
            return index;
        };
        const int id = column(u"ID"), idPedido = column(u"IDPEDIDO"), cliente = column(u"CLIENTE"),
                  telefone = column(u"TELEFONE"), endereco = column(u"ENDERECO"),
                  latitude = column(u"LATITUDE"), longitude = column(u"LONGITUDE"),
                  dataHora = column(u"DATAHORA"), idMch = column(u"ID_MCH");
        while (result.next()) {
            OrderRow &row = rows.emplace_back();
            row.ID = result.integer(id);
            row.IDPEDIDO = result.text(idPedido);
            row.CLIENTE = result.text(cliente);
            row.TELEFONE = result.text(telefone);
            row.ENDERECO = result.text(endereco);
            row.LATITUDE = result.text(latitude);
            row.LONGITUDE = result.text(longitude);
            row.DATAHORA = result.text(dataHora);
            row.ID_MCH = result.text(idMch);
        }
    });
    return rows;
}

QString countLineText(int rowCount)
{
    if (rowCount < 1)
        return QStringLiteral("SEM PEDIDOS");
    return QString::number(rowCount) + QStringLiteral(" PEDIDOS INTEGRADOS");
}

} // namespace brisfold
