#include "ReadOnlyFolder.h"

#include <QDir>
#include <QFile>
#include <linux/capability.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace brisfold::test {

namespace {

constexpr unsigned overrideRights[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

// Capabilities belong to each thread; only this thread's effective set changes.
bool setOverrideRights(bool effective)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    bool changed = false;
    for (unsigned cap : overrideRights) {
        const unsigned word = cap / 32;
        const unsigned bit = 1u << (cap % 32);
        if (!(data[word].permitted & bit))
            continue;
        if (effective)
            data[word].effective |= bit;
        else
            data[word].effective &= ~bit;
        changed = true;
    }
    return changed && syscall(SYS_capset, &header, data) == 0;
}

mode_t modeOf(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        throw std::runtime_error("cannot read the mode of " + path.toStdString());
    return info.st_mode & 07777;
}

} // namespace

ReadOnlyFolder::ReadOnlyFolder(const QString &folder)
{
    entries_.push_back({folder, modeOf(folder)});
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        const QString path = QDir(folder).filePath(name);
        entries_.push_back({path, modeOf(path)});
    }
    for (const Entry &e : entries_)
        ::chmod(QFile::encodeName(e.path).constData(), e.mode & ~mode_t(0222));
    rightsDropped_ = setOverrideRights(false);
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (rightsDropped_)
        setOverrideRights(true);
    for (const Entry &e : entries_)
        ::chmod(QFile::encodeName(e.path).constData(), e.mode);
}

} // namespace brisfold::test
