#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTransform>

namespace tavlo::drawing {

class CadBlock;
class CadDocument;
class CadEntity;

// What the drawing window shows, in drawing units: the outlines and texts of model space, each tagged
// with the top-level entity it belongs to, so that a click or a window picks that entity. Block
// references and tables are drawn through their block definitions; attributes belong to their reference.
class DrawingScene {
public:
    // A text laid out in text space: x right, y up, 1 unit = the text height (the capital height), the
    // anchor point at the origin. `place` maps text space to drawing units.
    struct Text {
        QStringList lines;      // format codes removed
        QList<QPointF> origins; // left end of each line's base line, text space
        double widthFactor = 1.0;
        QTransform place;
        QPolygonF outline; // drawing units, estimated from the display font, for picking
        // A single-line text's alignment along its base line (0 left, 1 centre, 2 right) and the base
        // line's height in text space: what a new string of the same text is laid out by.
        int align = 0;
        double baseline = 0;
    };
    struct Item {
        CadEntity *owner = nullptr; // the top-level entity
        QColor color;
        QPainterPath path; // stroked lines, arcs, circles, polylines (drawing units)
        bool isText = false;
        Text text;
        QRectF bounds; // drawing units
    };

    // Rebuilds the scene from the drawing's model space; an empty scene for a closed drawing.
    void build(const CadDocument &document);
    // Lays out anew only what `changed` entities show (top-level entities, or attributes of top-level
    // references), the rest kept; the whole drawing when one of them lies elsewhere (inside a block
    // definition, whose change shows wherever the block is used).
    // Of them, those in `stringsOnly` changed their strings alone: a single-line text among them keeps its
    // place, colour and style and only takes its new string.
    void update(const CadDocument &document, const QSet<CadEntity *> &changed,
                const QSet<CadEntity *> &stringsOnly = {});

    const QList<Item> &items() const { return m_items; }
    // The box around everything shown; a null box when nothing is shown.
    QRectF extents() const { return m_extents; }

    // The owner nearest to `point` within `tolerance` (drawing units), or nullptr.
    CadEntity *ownerAt(const QPointF &point, double tolerance) const;
    // The owners all of whose items lie inside `window` (window selection), each once, in drawing order.
    QList<CadEntity *> ownersInside(const QRectF &window) const;
    // The owners with an item crossing or inside `window` (crossing selection), each once, in order.
    QList<CadEntity *> ownersTouching(const QRectF &window) const;

    // The font texts are shown in, and its scale: text-space units per font pixel.
    static QFont displayFont();
    static double fontScale();
    // Width of a line of text in text-space units, before the width factor.
    static double textWidth(const QString &line);
    // Screen colour of a colour index on the dark drawing background.
    static QColor aciColor(int index);
    // A multiline text's content without its format codes, '\n' at paragraph breaks.
    static QString plainMText(const QString &text);
    // A single-line text's %% codes as the characters they stand for.
    static QString plainText(const QString &text);

private:
    // The items of one top-level entity: m_items[first, first + count).
    struct Span {
        CadEntity *entity = nullptr;
        qsizetype first = 0;
        qsizetype count = 0;
    };

    struct LayerLook {
        int color = 7;
        bool shown = true;
    };
    void addEntities(const QList<CadEntity *> &entities, const QTransform &toDrawing, CadEntity *owner,
                     const QColor &byBlock, int depth);
    void addEntity(CadEntity &entity, const QTransform &toDrawing, CadEntity *owner, const QColor &byBlock,
                   int depth);
    void addBlockReference(CadEntity &entity, const QTransform &toDrawing, CadEntity *owner,
                           const QColor &color, int depth);
    QColor colorOf(const CadEntity &entity, const QColor &byBlock) const;
    void addSingleLineText(const CadEntity &entity, const QTransform &toDrawing, CadEntity *owner,
                           const QColor &color, bool inBlock);
    void addMultilineText(const CadEntity &entity, const QTransform &toDrawing, CadEntity *owner,
                          const QColor &color);
    void addPath(CadEntity *owner, const QColor &color, const QPainterPath &path);
    void addText(CadEntity *owner, const QColor &color, Text text);
    // Gives the text span `span` its entity's new string; false when it needs a whole layout.
    bool updateString(const Span &span);

    const CadDocument *m_document = nullptr;
    QHash<QString, LayerLook> m_layers; // by upper-case name
    QList<Item> m_items;
    QList<Span> m_spans;                          // model space order
    QHash<const CadEntity *, qsizetype> m_spanOf; // top-level entity -> index into m_spans
    QRectF m_extents;
};

} // namespace tavlo::drawing
