#pragma once

#include "DrawingScene.h"

#include <QList>
#include <QPoint>
#include <QSet>
#include <QWidget>

#include <functional>

namespace tavlo::drawing {

// Shows a drawing scene on a dark background. The middle button (or the left button, outside picking)
// drags the view, the wheel zooms about the pointer, a middle double-click zooms to the extents.
// While picking, a click adds the entity under the pointer (Shift+click removes it), a drag from left
// to right adds the entities wholly inside the window and one from right to left those it crosses;
// only entities the filter admits are taken. Enter or a right click confirms, Esc cancels.
class DrawingView : public QWidget {
    Q_OBJECT

public:
    explicit DrawingView(QWidget *parent = nullptr);

    // The scene stays owned by the caller and must outlive its use here; the view zooms to its extents.
    void setScene(const DrawingScene *scene);
    const DrawingScene *scene() const { return m_scene; }

    void zoomExtents();
    void zoomBy(double factor, const QPointF &aboutPixel);
    // Drawing units per pixel and back.
    double scale() const { return m_scale; }
    QPointF toDrawing(const QPointF &pixel) const;
    QPointF toPixel(const QPointF &drawing) const;

    // Picking: the top-level entities the filter admits may be picked.
    void beginPicking(std::function<bool(const CadEntity *owner)> admits);
    bool isPicking() const { return m_picking; }
    // The owners picked so far, in the order picked.
    QList<CadEntity *> picked() const { return m_picked; }
    // Ends picking: confirmed keeps the picked owners, otherwise they are dropped.
    void finishPicking(bool confirmed);

signals:
    // Picking ended by the user (or by finishPicking).
    void pickingFinished(bool confirmed);
    // The picked owners changed (for the window's status line).
    void pickedChanged(int count);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QTransform viewTransform() const;
    void paintItem(QPainter &painter, const DrawingScene::Item &item, const QTransform &view,
                   bool picked) const;
    void pick(const QList<CadEntity *> &owners, bool remove);
    void pickAt(const QPoint &pixel, bool remove);
    void pickWindow(const QPoint &from, const QPoint &to, bool remove);

    const DrawingScene *m_scene = nullptr;
    QPointF m_centre;     // drawing point at the centre of the view
    double m_scale = 1.0; // pixels per drawing unit
    bool m_zoomPending = true;
    bool m_fitted = false; // showing the extents, not moved by the user since

    enum class Drag { None, Pan, Window };
    Drag m_drag = Drag::None;
    QPoint m_pressAt;
    QPoint m_dragAt;
    bool m_moved = false;

    bool m_picking = false;
    std::function<bool(const CadEntity *)> m_admits;
    QList<CadEntity *> m_picked;
    QSet<const CadEntity *> m_pickedSet;
};

} // namespace tavlo::drawing
