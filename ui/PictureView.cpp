#include "ui/PictureView.h"

#include "ui/ImageCollection.h"

#include <QMouseEvent>
#include <QPainter>

namespace brisfold {

PictureView::PictureView(const ImageCollection &images, int position, QWidget *parent)
    : QWidget(parent)
    , images_(images)
    , position_(position)
{}

void PictureView::setPosition(int position)
{
    if (position_ == position)
        return;
    position_ = position;
    update();
}

void PictureView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    images_.paint(&painter, position_, QRectF(rect()));
}

void PictureView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}

} // namespace brisfold
