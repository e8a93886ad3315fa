#include "ui/ImageCollection.h"

#include <QPainter>
#include <QSvgRenderer>

namespace brisfold {

namespace {

struct Picture
{
    const char *name;
    const char *file;
};

constexpr std::array<Picture, picture::count> pictures{{
    {"Imagem 0", ":/pictures/00-imagem00.svg"},         {"Imagem 1", ":/pictures/01-imagem01.svg"},
    {"Imagem 2", ":/pictures/02-imagem02.svg"},         {"Imagem 3", ":/pictures/03-imagem03.svg"},
    {"Imagem 4", ":/pictures/04-imagem04.svg"},         {"Imagem 5", ":/pictures/05-imagem05.svg"},
    {"Imagem 6", ":/pictures/06-imagem06.svg"},         {"Aiqfome", ":/pictures/07-aiqfome.svg"},
    {"logoAiqfome", ":/pictures/08-logoaiqfome.svg"},   {"Imagem 9", ":/pictures/09-imagem09.svg"},
    {"Imagem 10", ":/pictures/10-imagem10.svg"},        {"Imagem 11", ":/pictures/11-imagem11.svg"},
    {"entregador 4", ":/pictures/12-entregador-4.svg"}, {"Imagem 13", ":/pictures/13-imagem13.svg"},
    {"Imagem 14", ":/pictures/14-imagem14.svg"},        {"Imagem 15", ":/pictures/15-imagem15.svg"},
    {"Imagem 16", ":/pictures/16-imagem16.svg"},        {"OK", ":/pictures/17-ok.svg"},
    {"Solicitando", ":/pictures/18-solicitando.svg"},   {"Trevant", ":/pictures/19-trevant.svg"},
}};

} // namespace

ImageCollection::ImageCollection() = default;
ImageCollection::~ImageCollection() = default;

QString ImageCollection::name(int position) const
{
    if (position < 0 || position >= picture::count)
        return {};
    return QString::fromUtf8(pictures[size_t(position)].name);
}

QSvgRenderer *ImageCollection::renderer(int position) const
{
    if (position < 0 || position >= picture::count)
        return nullptr;
    auto &renderer = renderers_[size_t(position)];
    if (!renderer)
        renderer = std::make_unique<QSvgRenderer>(QString::fromUtf8(pictures[size_t(position)].file));
    return renderer.get();
}

bool ImageCollection::isValid(int position) const
{
    QSvgRenderer *svg = renderer(position);
    return svg && svg->isValid();
}

void ImageCollection::paint(QPainter *painter, int position, const QRectF &target) const
{
    QSvgRenderer *svg = renderer(position);
    if (!svg || !svg->isValid() || target.isEmpty())
        return;
    QSizeF size = svg->viewBoxF().size();
    if (size.isEmpty())
        size = target.size();
    size.scale(target.size(), Qt::KeepAspectRatio);
    QRectF placed(QPointF(), size);
    placed.moveCenter(target.center());
    svg->render(painter, placed);
}

QPixmap ImageCollection::pixmap(int position, QSize size, qreal devicePixelRatio) const
{
    const QString key = QStringLiteral("%1:%2x%3@%4")
                            .arg(position)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(devicePixelRatio);
    auto cached = pixmaps_.constFind(key);
    if (cached != pixmaps_.constEnd())
        return *cached;
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(&painter, position, QRectF(QPointF(), QSizeF(size)));
    }
    pixmaps_.insert(key, pixmap);
    return pixmap;
}

} // namespace brisfold
