#include "bench/BenchSupport.h"

#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace brisfold::bench {

namespace {

sqlite3 *openFile(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s\n", path.toUtf8().constData());
        std::abort();
    }
    return db;
}

void run(sqlite3 *db, const char *sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", message ? message : "?");
        std::abort();
    }
}

} // namespace

BenchFolder::BenchFolder()
{
    QDir(dir_.path()).mkpath(QStringLiteral("BD"));
    QFile schema(QStringLiteral(BRISFOLD_SCHEMA_FILE));
    if (!schema.open(QIODevice::ReadOnly))
        std::abort();
    sqlite3 *db = openFile(databasePath());
    run(db, schema.readAll().constData());
    sqlite3_close(db);
}

QString BenchFolder::databasePath() const
{
    return dir_.path() + QStringLiteral("/BD/BANCO.db");
}

void addOrders(const QString &databasePath, int count, bool allUnmarked)
{
    sqlite3 *db = openFile(databasePath);
    run(db, "BEGIN");
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO, CLIENTE, ENDERECO, TELEFONE, LATITUDE, "
                       "LONGITUDE, ID_MCH, DATAHORA, VALUE) VALUES (1, ?1, 'Cliente ' || ?1, "
                       "'Rua das Flores, ' || ?1 || ' - Centro', '44999990000', '-23.42', '-51.93', ?2, "
                       "strftime('%Y-%m-%d %H:%M:%S', 'now', ?3), '42.50')",
                       -1, &insert, nullptr);
    for (int i = 0; i < count; ++i) {
        const QByteArray id = QByteArray::number(100000 + i);
        // Spread over the last twelve hours, so every order is inside the board's window.
        const QByteArray age = "-" + QByteArray::number((i * 43200LL) / (count > 0 ? count : 1)) + " seconds";
        sqlite3_bind_text(insert, 1, id.constData(), int(id.size()), SQLITE_TRANSIENT);
        if (!allUnmarked && i % 4 == 0)
            sqlite3_bind_text(insert, 2, "MACHINE", -1, SQLITE_STATIC);
        else
            sqlite3_bind_null(insert, 2);
        sqlite3_bind_text(insert, 3, age.constData(), int(age.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(insert) != SQLITE_DONE)
            std::abort();
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    run(db, "COMMIT");
    sqlite3_close(db);
}

void execSql(const QString &databasePath, const char *sql)
{
    sqlite3 *db = openFile(databasePath);
    run(db, sql);
    sqlite3_close(db);
}

int runBenchmarks(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace brisfold::bench
