#pragma once

#include <QWidget>

namespace brisfold {

class ImageCollection;

// A picture element drawn from the picture list; it reports a click on itself.
class PictureView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PictureView)

public:
    PictureView(const ImageCollection &images, int position, QWidget *parent = nullptr);

    int position() const { return position_; }
    void setPosition(int position);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    const ImageCollection &images_;
    int position_;
};

} // namespace brisfold
