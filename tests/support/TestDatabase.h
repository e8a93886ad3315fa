#pragma once

#include "QtPrinters.h"
#include "store/Database.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace brisfold::test {

// A real database file made from the project's schema, in a folder removed after the test.
class TestDatabase final
{
public:
    TestDatabase();

    // The folder, laid out as a program folder: BD/BANCO.db inside it.
    QString folder() const { return dir_.path(); }
    QString path() const;
    // A second connection, for setting up and checking rows beside the program's own.
    Database &db() { return db_; }

    // Creates BD/BANCO.db from the schema inside `folder`.
    static void createAt(const QString &folder);
    // Every row of a query as one line of text, nulls marked, to compare before and after.
    static QStringList contents(Database &db, const char *sql);

private:
    QTemporaryDir dir_;
    Database db_;
};

} // namespace brisfold::test
