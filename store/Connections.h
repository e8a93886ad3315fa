#pragma once

#include "store/Database.h"

#include <QString>

namespace brisfold {

// The program's connections to its database file: the one connection that writes, used by every
// window and worker, and the board's own read-only one, through which the board reads while a
// commit is being synced (the write-ahead log lets it).
struct Connections
{
    // Opens the writer, then the board's reader; on failure the engine's text is returned and
    // what could not be opened stays closed.
    bool open(const QString &path, QString *error = nullptr)
    {
        if (!writer.isOpen() && !writer.open(path, error))
            return false;
        return boardReader.isOpen() || boardReader.openReadOnly(path, error);
    }
    bool isOpen() const { return writer.isOpen() && boardReader.isOpen(); }

    Database writer;
    Database boardReader;
};

} // namespace brisfold
