#include "TestDatabase.h"

#include <QDir>
#include <QFile>
#include <SQLiteCpp/SQLiteCpp.h>
#include <gtest/gtest.h>

namespace brisfold::test {

void TestDatabase::createAt(const QString &folder)
{
    QDir().mkpath(folder + QStringLiteral("/BD"));
    QFile schema(QStringLiteral(BRISFOLD_SCHEMA_FILE));
    if (!schema.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read the schema");
    SQLite::Database db((folder + QStringLiteral("/BD/BANCO.db")).toStdString(),
                        SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec(schema.readAll().toStdString());
}

QStringList TestDatabase::contents(Database &db, const char *sql)
{
    const ResultSet rows = db.query(sql);
    QStringList lines;
    for (int r = 0; r < rows.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < rows.columns().size(); ++c)
            cells << (rows.value(r, c).isNull() ? QStringLiteral("<null>") : rows.value(r, c).toString());
        lines << cells.join(u'|');
    }
    return lines;
}

TestDatabase::TestDatabase()
{
    createAt(dir_.path());
    QString error;
    if (!db_.open(path(), &error))
        ADD_FAILURE() << error.toStdString();
}

QString TestDatabase::path() const
{
    return dir_.path() + QStringLiteral("/BD/BANCO.db");
}

} // namespace brisfold::test
