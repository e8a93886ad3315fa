#pragma once

#include <QString>
#include <QStringList>
#include <sys/types.h>
#include <vector>

namespace brisfold::test {

// Makes a folder and the files in it read-only for as long as it lives, as a user or a backup
// tool might while the program runs. Root would still write, so the calling thread also gives up
// its right to override file permissions meanwhile; use it on the thread that does the writing.
class ReadOnlyFolder final
{
public:
    explicit ReadOnlyFolder(const QString &folder);
    ~ReadOnlyFolder(); // restores the modes and the thread's rights
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

private:
    struct Entry
    {
        QString path;
        mode_t mode;
    };
    std::vector<Entry> entries_;
    bool rightsDropped_ = false;
};

} // namespace brisfold::test
