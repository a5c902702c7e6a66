#include "DrawingBoard.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr double kTwipsPerPixel = 15.0;
}

DrawingBoard::DrawingBoard(QWidget *parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
}

QPoint DrawingBoard::toTwips(const QPointF &pixels) {
    return (pixels * kTwipsPerPixel).toPoint();
}

QPointF DrawingBoard::toPixels(const QPointF &twips) {
    return twips / kTwipsPerPixel;
}

void DrawingBoard::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    fitImage();
}

void DrawingBoard::fitImage() {
    // A hidden panel gets its resize events only when shown, yet strokes arrive meanwhile.
    if (m_image.size() == size())
        return;
    QImage grown(size(), QImage::Format_RGB32);
    grown.fill(palette().color(QPalette::Window));
    QPainter painter(&grown);
    painter.drawImage(0, 0, m_image);
    m_image = grown;
}

void DrawingBoard::drawLine(const QPointF &fromTwips, const QPointF &toTwips, const QColor &color,
                            int penWidth) {
    fitImage();
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(color, std::max(1, penWidth), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF a = toPixels(fromTwips);
    const QPointF b = toPixels(toTwips);
    if (a == b)
        painter.drawPoint(a);
    else
        painter.drawLine(a, b);
    update();
}

void DrawingBoard::clear() {
    fitImage();
    m_image.fill(palette().color(QPalette::Window));
    update();
}

void DrawingBoard::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    painter.drawImage(event->rect(), m_image, event->rect());
    // The area has the window's colour, so an outline shows where it is.
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void DrawingBoard::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton)
        emit leftButtonDown(toTwips(event->position()));
}

void DrawingBoard::mouseMoveEvent(QMouseEvent *event) {
    if (event->buttons() == Qt::LeftButton)
        emit leftButtonMove(toTwips(event->position()));
}
