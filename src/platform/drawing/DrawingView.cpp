#include "DrawingView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace tavlo::drawing {

namespace {

const QColor kBackground(33, 40, 48);
const QColor kPickedColor(80, 170, 255);
// Pixels the pointer may be off an entity and still pick it, and move before a press becomes a drag.
constexpr double kPickTolerance = 5.0;
constexpr int kDragThreshold = 4;
// Texts shorter than this on screen are shown as their outline's base line only.
constexpr double kSmallestText = 3.0;

} // namespace

DrawingView::DrawingView(QWidget *parent)
    : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
}

void DrawingView::setScene(const DrawingScene *scene) {
    m_scene = scene;
    zoomExtents();
}

void DrawingView::zoomExtents() {
    const QRectF extents = m_scene ? m_scene->extents() : QRectF();
    if (extents.isNull() || width() <= 1 || height() <= 1) {
        m_centre = extents.center();
        m_scale = 1.0;
        m_zoomPending = true;
        update();
        return;
    }
    m_zoomPending = false;
    m_fitted = true;
    m_centre = extents.center();
    const double w = std::max(extents.width(), 1e-9), h = std::max(extents.height(), 1e-9);
    m_scale = 0.92 * std::min(width() / w, height() / h);
    if (!std::isfinite(m_scale) || m_scale <= 0)
        m_scale = 1.0;
    update();
}

void DrawingView::zoomBy(double factor, const QPointF &aboutPixel) {
    m_fitted = false;
    const QPointF fixed = toDrawing(aboutPixel);
    m_scale = std::clamp(m_scale * factor, 1e-9, 1e9);
    // Keep the drawing point under the pointer where it was.
    m_centre += fixed - toDrawing(aboutPixel);
    update();
}

QTransform DrawingView::viewTransform() const {
    QTransform t;
    t.translate(width() / 2.0, height() / 2.0);
    t.scale(m_scale, -m_scale);
    t.translate(-m_centre.x(), -m_centre.y());
    return t;
}

QPointF DrawingView::toDrawing(const QPointF &pixel) const {
    return viewTransform().inverted().map(pixel);
}

QPointF DrawingView::toPixel(const QPointF &drawing) const {
    return viewTransform().map(drawing);
}

void DrawingView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    // Until the user moves the view, it keeps showing the whole drawing.
    if (m_zoomPending || m_fitted)
        zoomExtents();
}

void DrawingView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    if (!m_scene)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    const QTransform view = viewTransform();
    const QRectF visible = view.inverted().mapRect(QRectF(rect()));
    // Texts too small to read are shown as their base lines: runs of them in one colour are drawn in one
    // call, in device pixels; at the view of a whole large drawing they are most of the painting.
    const double scale = std::abs(m_scale);
    QList<QLineF> baseLines;
    QColor baseColor;
    const auto drawBaseLines = [&] {
        if (baseLines.isEmpty())
            return;
        QPen pen(baseColor, 1);
        pen.setCosmetic(true);
        painter.resetTransform();
        painter.setPen(pen);
        // A stand-in for a text too small to read needs no smoothing, and drawn without it costs a
        // fraction.
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.drawLines(baseLines);
        painter.setRenderHint(QPainter::Antialiasing, true);
        baseLines.clear();
    };
    for (const DrawingScene::Item &item : m_scene->items()) {
        if (!item.bounds.intersects(visible) && !visible.contains(item.bounds.topLeft()))
            continue;
        const bool picked = !m_pickedSet.isEmpty() && m_pickedSet.contains(item.owner);
        if (item.isText && !picked && item.text.outline.size() >= 2 &&
            scale * std::hypot(item.text.place.m21(), item.text.place.m22()) < kSmallestText) {
            if (item.color != baseColor)
                drawBaseLines();
            baseColor = item.color;
            baseLines.append(QLineF(view.map(item.text.outline[0]), view.map(item.text.outline[1])));
            continue;
        }
        drawBaseLines();
        paintItem(painter, item, view, picked);
    }
    drawBaseLines();
    if (m_drag == Drag::Window) {
        painter.resetTransform();
        const QRect band = QRect(m_pressAt, m_dragAt).normalized();
        const bool crossing = m_dragAt.x() < m_pressAt.x();
        painter.setPen(QPen(QColor(255, 255, 255), 1, crossing ? Qt::DashLine : Qt::SolidLine));
        painter.setBrush(crossing ? QColor(60, 160, 60, 50) : QColor(60, 90, 200, 50));
        painter.drawRect(band);
    }
}

void DrawingView::paintItem(QPainter &painter, const DrawingScene::Item &item, const QTransform &view,
                            bool picked) const {
    QPen pen(picked ? kPickedColor : item.color, picked ? 2 : 1, picked ? Qt::DashLine : Qt::SolidLine);
    pen.setCosmetic(true);
    if (!item.isText) {
        painter.setTransform(view);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(item.path);
        return;
    }
    const DrawingScene::Text &text = item.text;
    const QTransform place = text.place * view;
    const double pixelHeight = std::hypot(place.m21(), place.m22());
    if (pixelHeight < kSmallestText) {
        painter.setTransform(view);
        painter.setPen(pen);
        if (text.outline.size() >= 2)
            painter.drawLine(text.outline[0], text.outline[1]);
        return;
    }
    painter.setTransform(place);
    painter.setPen(QPen(picked ? kPickedColor : item.color));
    painter.setFont(DrawingScene::displayFont());
    const double k = DrawingScene::fontScale();
    for (int i = 0; i < text.lines.size() && i < text.origins.size(); ++i) {
        painter.save();
        painter.translate(text.origins[i]);
        painter.scale(k * text.widthFactor, -k);
        painter.drawText(QPointF(0, 0), text.lines[i]);
        painter.restore();
    }
    if (picked) {
        painter.setTransform(view);
        painter.setPen(pen);
        painter.drawPolygon(text.outline);
    }
}

void DrawingView::beginPicking(std::function<bool(const CadEntity *owner)> admits) {
    m_admits = std::move(admits);
    m_picked.clear();
    m_pickedSet.clear();
    m_picking = true;
    setCursor(Qt::CrossCursor);
    setFocus();
    update();
}

void DrawingView::finishPicking(bool confirmed) {
    if (!m_picking)
        return;
    m_picking = false;
    m_drag = Drag::None;
    if (!confirmed) {
        m_picked.clear();
        m_pickedSet.clear();
    }
    unsetCursor();
    update();
    emit pickingFinished(confirmed);
}

void DrawingView::pick(const QList<CadEntity *> &owners, bool remove) {
    bool changed = false;
    for (CadEntity *owner : owners) {
        if (!owner || (m_admits && !m_admits(owner)))
            continue;
        if (remove && m_pickedSet.remove(owner)) {
            m_picked.removeOne(owner);
            changed = true;
        } else if (!remove && !m_pickedSet.contains(owner)) {
            m_pickedSet.insert(owner);
            m_picked.append(owner);
            changed = true;
        }
    }
    if (changed) {
        update();
        emit pickedChanged(int(m_picked.size()));
    }
}

void DrawingView::pickAt(const QPoint &pixel, bool remove) {
    if (!m_scene)
        return;
    CadEntity *owner = m_scene->ownerAt(toDrawing(pixel), kPickTolerance / m_scale);
    if (owner)
        pick({owner}, remove);
}

void DrawingView::pickWindow(const QPoint &from, const QPoint &to, bool remove) {
    if (!m_scene)
        return;
    const QRectF window = QRectF(toDrawing(from), toDrawing(to)).normalized();
    pick(to.x() >= from.x() ? m_scene->ownersInside(window) : m_scene->ownersTouching(window), remove);
}

void DrawingView::mousePressEvent(QMouseEvent *event) {
    m_pressAt = m_dragAt = event->position().toPoint();
    m_moved = false;
    if (event->button() == Qt::MiddleButton || (event->button() == Qt::LeftButton && !m_picking)) {
        m_drag = Drag::Pan;
        setCursor(Qt::ClosedHandCursor);
    } else if (event->button() == Qt::LeftButton) {
        m_drag = Drag::Window;
    } else if (event->button() == Qt::RightButton && m_picking) {
        finishPicking(true);
    }
}

void DrawingView::mouseMoveEvent(QMouseEvent *event) {
    const QPoint at = event->position().toPoint();
    if ((at - m_pressAt).manhattanLength() >= kDragThreshold)
        m_moved = true;
    if (m_drag == Drag::Pan) {
        m_fitted = false;
        const QPointF delta = toDrawing(at) - toDrawing(m_dragAt);
        m_centre -= delta;
        m_dragAt = at;
        update();
    } else if (m_drag == Drag::Window) {
        m_dragAt = at;
        if (m_moved)
            update();
    }
}

void DrawingView::mouseReleaseEvent(QMouseEvent *event) {
    const QPoint at = event->position().toPoint();
    const Drag drag = m_drag;
    m_drag = Drag::None;
    if (drag == Drag::Pan) {
        if (m_picking)
            setCursor(Qt::CrossCursor);
        else
            unsetCursor();
    } else if (drag == Drag::Window && m_picking) {
        const bool remove = event->modifiers() & Qt::ShiftModifier;
        if (m_moved)
            pickWindow(m_pressAt, at, remove);
        else
            pickAt(at, remove);
        update();
    }
}

void DrawingView::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() == Qt::MiddleButton)
        zoomExtents();
    else
        mousePressEvent(event);
}

void DrawingView::wheelEvent(QWheelEvent *event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0)
        zoomBy(std::pow(1.2, notches), event->position());
    event->accept();
}

void DrawingView::keyPressEvent(QKeyEvent *event) {
    if (m_picking && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        finishPicking(true);
    } else if (m_picking && event->key() == Qt::Key_Escape) {
        finishPicking(false);
    } else {
        QWidget::keyPressEvent(event);
    }
}

} // namespace tavlo::drawing
