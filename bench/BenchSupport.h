// Helpers shared by the benchmarks: a database made from the schema, filled with orders.
#pragma once

#include "ui/MessageBoxes.h"

#include <QString>
#include <QTemporaryDir>

namespace brisfold::bench {

// A program folder in a temporary directory with BD/BANCO.db made from the project's schema.
class BenchFolder final
{
public:
    BenchFolder();
    QString folder() const { return dir_.path(); }
    QString databasePath() const;

private:
    QTemporaryDir dir_;
};

// Adds `count` orders of the last hours, a quarter of them with a courier mark, in one
// transaction through the SQLite C API (the filling is not what is measured).
void addOrders(const QString &databasePath, int count, bool allUnmarked = false);

// Runs one statement on the file directly; aborts on failure.
void execSql(const QString &databasePath, const char *sql);

// Google Benchmark's command line, run and report; 1 for an argument it does not know.
int runBenchmarks(int argc, char **argv);

// Message boxes nobody sees; every question is answered No.
class SilentMessages final : public MessageBoxes
{
public:
    void showMessage(QWidget *, const QString &text) override { lastShown = text; }
    bool PerguntaComTempo(QWidget *, const QString &) override { return false; }
    bool askYesNo(QWidget *, const QString &) override { return false; }

    QString lastShown;
};

} // namespace brisfold::bench
