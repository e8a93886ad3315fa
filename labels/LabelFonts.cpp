#include "labels/LabelFonts.h"

#include <QByteArray>
#include <QFontDatabase>
#include <QRawFont>
#include <QResource>

namespace brisfold::labelfonts {

namespace {

// The font file as stored in the program; not copied, as the resource is kept uncompressed.
QByteArray fontData(bool bold)
{
    const QResource resource(bold ? QStringLiteral(":/labels/fonts/DejaVuSans-Bold.ttf")
                                  : QStringLiteral(":/labels/fonts/DejaVuSans.ttf"));
    if (!resource.isValid())
        return {};
    if (resource.compressionAlgorithm() != QResource::NoCompression)
        return resource.uncompressedData();
    return QByteArray::fromRawData(reinterpret_cast<const char *>(resource.data()),
                                   qsizetype(resource.size()));
}

QString registerFonts()
{
    QString registered;
    for (const bool bold : {false, true}) {
        const int id = QFontDatabase::addApplicationFontFromData(fontData(bold));
        if (id >= 0 && registered.isEmpty())
            registered = QFontDatabase::applicationFontFamilies(id).value(0);
    }
    return registered.isEmpty() ? QStringLiteral("DejaVu Sans") : registered;
}

} // namespace

QString family()
{
    // A function-local static: registered once even when two threads print at the same moment.
    static const QString name = registerFonts();
    return name;
}

QRawFont raw(bool bold, qreal pixelSize)
{
    return QRawFont(fontData(bold), pixelSize);
}

} // namespace brisfold::labelfonts
