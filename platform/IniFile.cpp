#include "platform/IniFile.h"

#include <QList>

namespace brisfold {

namespace {

QByteArray sectionName(const QByteArray &line)
{
    const QByteArray trimmed = line.trimmed();
    if (trimmed.startsWith('[') && trimmed.endsWith(']'))
        return trimmed.mid(1, trimmed.size() - 2).trimmed();
    return {};
}

bool isKey(const QByteArray &line, const QByteArray &key)
{
    const int equals = line.indexOf('=');
    return equals > 0 && line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0;
}

} // namespace

QByteArray withIniValue(const QByteArray &content, const QString &section, const QString &key,
                        const QString &value)
{
    const QByteArray sectionUtf8 = section.toUtf8();
    const QByteArray keyUtf8 = key.toUtf8();
    const QByteArray entry = keyUtf8 + '=' + value.toUtf8();
    const QByteArray newline = content.contains("\r\n") || content.isEmpty() ? "\r\n" : "\n";

    QList<QByteArray> lines = content.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }

    bool inSection = false;
    qsizetype lastLineOfSection = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray name = sectionName(lines[i]);
        if (!name.isEmpty()) {
            if (inSection)
                break;
            inSection = name.compare(sectionUtf8, Qt::CaseInsensitive) == 0;
            if (inSection)
                lastLineOfSection = i;
            continue;
        }
        if (!inSection)
            continue;
        if (isKey(lines[i], keyUtf8)) {
            lines[i] = entry;
            return lines.join(newline) + newline;
        }
        if (!lines[i].trimmed().isEmpty())
            lastLineOfSection = i;
    }

    if (lastLineOfSection >= 0) {
        lines.insert(lastLineOfSection + 1, entry);
    } else {
        lines.append('[' + sectionUtf8 + ']');
        lines.append(entry);
    }
    return lines.join(newline) + newline;
}

} // namespace brisfold
