#pragma once

#include <QString>
#include <vector>

namespace brisfold {

class Database;

// The board query: the orders of the last 13 hours by the engine's UTC clock, orders without
// a courier mark first, newest first within each group.
inline constexpr char FDQueryPedidosSql[] =
    "SELECT * FROM PEDIDOS\n"
    "WHERE \n"
    "    DATAHORA >= strftime('%Y-%m-%d %H:%M:%S', 'now', '-13 hours')\n"
    "ORDER BY\n"
    "    CASE WHEN ID_MCH <> '' AND ID_MCH != '' THEN 1 ELSE 0 END,\n"
    "    id desc;\n";

// One row of the board: the columns that the cards and the card actions read. Null texts
// read as empty texts.
struct OrderRow
{
    qint64 ID = 0;
    QString IDPEDIDO;
    QString CLIENTE;
    QString TELEFONE;
    QString ENDERECO;
    QString LATITUDE;
    QString LONGITUDE;
    QString DATAHORA;
    QString ID_MCH;
};

// Runs the board query and reads its rows one by one, keeping only the board's columns.
std::vector<OrderRow> readOrderRows(Database &db);

// "SEM PEDIDOS" for an empty list, otherwise the count followed by " PEDIDOS INTEGRADOS".
QString countLineText(int rowCount);

} // namespace brisfold
