#pragma once

#include "resources/PictureIds.h"

#include <QHash>
#include <QPixmap>
#include <QString>
#include <array>
#include <memory>

class QPainter;
class QRectF;
class QSvgRenderer;

namespace brisfold {

// The program's one list of named pictures, addressed by position from 0 and drawn from SVG,
// so they stay sharp at any size.
class ImageCollection final
{
public:
    ImageCollection();
    ~ImageCollection();

    QString name(int position) const;
    bool isValid(int position) const;
    // Draws the picture centred in `target`, keeping its proportions.
    void paint(QPainter *painter, int position, const QRectF &target) const;
    // The picture at `size` logical pixels, cached per size.
    QPixmap pixmap(int position, QSize size, qreal devicePixelRatio = 1.0) const;

private:
    QSvgRenderer *renderer(int position) const;

    mutable std::array<std::unique_ptr<QSvgRenderer>, picture::count> renderers_;
    mutable QHash<QString, QPixmap> pixmaps_;
};

} // namespace brisfold
