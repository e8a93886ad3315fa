#pragma once

#include <QByteArray>
#include <QString>

namespace brisfold {

// The INI text `content` with `key` set to `value` in `section`: the key is replaced where it
// stands, added at the end of its section, or a new section is appended. Names compare without
// regard to case, as Windows does; every other line is kept byte for byte.
QByteArray withIniValue(const QByteArray &content, const QString &section, const QString &key,
                        const QString &value);

} // namespace brisfold
