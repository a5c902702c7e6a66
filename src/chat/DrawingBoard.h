#pragma once

#include <QImage>
#include <QWidget>

// The shared drawing area. Coordinates are in twips, the unit the peers exchange; what is drawn is
// kept in an image so it survives repaints, resizes and minimising.
class DrawingBoard : public QWidget {
    Q_OBJECT

public:
    explicit DrawingBoard(QWidget *parent = nullptr);

    void drawLine(const QPointF &fromTwips, const QPointF &toTwips, const QColor &color, int penWidth);
    void clear();
    const QImage &image() const { return m_image; }

    static QPoint toTwips(const QPointF &pixels);
    static QPointF toPixels(const QPointF &twips);

signals:
    // Only the left button draws.
    void leftButtonDown(QPoint twips);
    void leftButtonMove(QPoint twips);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void fitImage();

    QImage m_image;
};
