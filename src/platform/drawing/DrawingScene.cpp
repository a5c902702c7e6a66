#include "DrawingScene.h"

#include "CadDocument.h"

#include <QFontMetricsF>
#include <QHash>
#include <QSet>

#include <QtMath>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace tavlo::drawing {

namespace {

// Block references nest; a drawing that refers to itself must not recurse for ever.
constexpr int kMaxDepth = 16;
// Distance between the base lines of a multiline text, in text heights.
constexpr double kLinePitch = 5.0 / 3.0;
// How far a font's descenders reach below the base line, in text heights.
constexpr double kDescent = 0.3;

QPointF toPoint(const CadPoint &point) {
    return {point.x, point.y};
}

// Points along an arc, counter-clockwise from `start` to `end` (radians).
QPolygonF arcPoints(const QPointF &centre, double radiusX, double radiusY, double rotation, double start,
                    double end) {
    while (end <= start)
        end += 2 * M_PI;
    const int steps = std::clamp(int((end - start) / (M_PI / 36)), 8, 144);
    QPolygonF points;
    const double c = std::cos(rotation), s = std::sin(rotation);
    for (int i = 0; i <= steps; ++i) {
        const double a = start + (end - start) * i / steps;
        const double x = radiusX * std::cos(a), y = radiusY * std::sin(a);
        points.append(centre + QPointF(x * c - y * s, x * s + y * c));
    }
    return points;
}

// The polyline through `vertices`, a bulge (tan of a quarter of the arc's angle) after each vertex.
QPainterPath polyline(const QList<CadVertex> &corners, bool closed) {
    QList<QPointF> vertices;
    QList<double> bulges;
    for (const CadVertex &v : corners) {
        vertices.append(QPointF(v.x, v.y));
        bulges.append(v.bulge);
    }
    QPainterPath path;
    if (vertices.isEmpty())
        return path;
    path.moveTo(vertices.first());
    const int count = int(vertices.size());
    const int segments = closed ? count : count - 1;
    for (int i = 0; i < segments; ++i) {
        const QPointF a = vertices[i], b = vertices[(i + 1) % count];
        const double bulge = i < bulges.size() ? bulges[i] : 0.0;
        if (std::abs(bulge) < 1e-9 || a == b) {
            path.lineTo(b);
            continue;
        }
        // The arc sweeps `sweep` (counter-clockwise when positive) from a to b.
        const double sweep = 4 * std::atan(bulge);
        const QPointF chord = b - a;
        const double length = std::hypot(chord.x(), chord.y());
        const QPointF left(-chord.y() / length, chord.x() / length);
        const QPointF centre = (a + b) / 2 + left * (length / 2 / std::tan(sweep / 2));
        const double radius = length / (2 * std::abs(std::sin(sweep / 2)));
        const double start = std::atan2(a.y() - centre.y(), a.x() - centre.x());
        const int steps = std::clamp(int(std::abs(sweep) / (M_PI / 36)), 4, 144);
        for (int k = 1; k <= steps; ++k) {
            const double angle = start + sweep * k / steps;
            path.lineTo(centre + radius * QPointF(std::cos(angle), std::sin(angle)));
        }
    }
    if (closed)
        path.closeSubpath();
    return path;
}

QTransform placement(const QPointF &at, double rotation, double scaleX = 1, double scaleY = 1) {
    QTransform t;
    t.translate(at.x(), at.y());
    t.rotateRadians(rotation);
    t.scale(scaleX, scaleY);
    return t;
}

bool ideograph(QChar c) {
    return c.unicode() >= 0x2E80;
}

// The lines a paragraph takes in a column `width` text heights wide (no wrapping for width 0): broken
// after the last blank that fits, or between two characters one of which is Chinese; a long word
// without either runs over, as in a CAD program.
QStringList wrapLine(const QString &paragraph, double width) {
    if (!(width > 0) || DrawingScene::textWidth(paragraph) <= width)
        return {paragraph};
    QStringList lines;
    QString line;
    for (const QChar c : paragraph) {
        line += c;
        if (line.size() < 2 || DrawingScene::textWidth(line) <= width)
            continue;
        int cut = -1;
        for (int k = int(line.size()) - 1; k > 0 && cut < 0; --k) {
            if (line[k - 1] == u' ' || ideograph(line[k - 1]) || ideograph(line[k]))
                cut = k;
        }
        if (cut <= 0)
            continue;
        lines.append(line.left(cut).trimmed());
        line = line.mid(cut);
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

} // namespace

QFont DrawingScene::displayFont() {
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(100);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

double DrawingScene::fontScale() {
    static const double scale = [] {
        const double cap = QFontMetricsF(displayFont()).capHeight();
        return cap > 0 ? 1.0 / cap : 1.0 / 70;
    }();
    return scale;
}

double DrawingScene::textWidth(const QString &line) {
    // The sum of the characters' advances, each measured once for the program's life: shaping every
    // text of a large drawing anew would cost far more than the rest of its layout. The width serves
    // picking and extents; the text itself is drawn shaped.
    static const QFontMetricsF metrics(displayFont());
    static std::vector<double> advances(0x10000, -1.0);
    double width = 0;
    for (const QChar c : line) {
        if (c.isSurrogate())
            return metrics.horizontalAdvance(line) * fontScale();
        double &advance = advances[c.unicode()];
        if (advance < 0)
            advance = metrics.horizontalAdvance(c);
        width += advance;
    }
    return width * fontScale();
}

QColor DrawingScene::aciColor(int index) {
    static const QColor basic[10] = {QColor(255, 255, 255), QColor(255, 0, 0),     QColor(255, 255, 0),
                                     QColor(0, 255, 0),     QColor(0, 255, 255),   QColor(0, 0, 255),
                                     QColor(255, 0, 255),   QColor(255, 255, 255), QColor(128, 128, 128),
                                     QColor(192, 192, 192)};
    index = std::abs(index);
    if (index < 10)
        return basic[index];
    if (index >= 250 && index <= 255)
        return QColor::fromHsv(0, 0, 51 + (index - 250) * 41);
    if (index > 255)
        return basic[7];
    // 10..249: 24 hues of 15°, five shades each, every second one paler.
    const int hue = ((index - 10) / 10) * 15;
    const int shade = (index % 10) / 2;
    static const int values[5] = {255, 204, 153, 127, 76};
    const bool pale = index % 2 == 1;
    return QColor::fromHsv(hue % 360, pale ? 127 : 255, values[shade]);
}

QString DrawingScene::plainText(const QString &source) {
    QString result;
    result.reserve(source.size());
    for (int i = 0; i < source.size(); ++i) {
        if (source[i] == u'%' && i + 2 < source.size() + 0 && source[i + 1] == u'%') {
            const QChar code = source[i + 2].toLower();
            if (code == u'c') {
                result += QChar(0x2205);
            } else if (code == u'd') {
                result += QChar(0xB0);
            } else if (code == u'p') {
                result += QChar(0xB1);
            } else if (code == u'%') {
                result += u'%';
            } else if (code != u'u' && code != u'o') {
                result += source.mid(i, 3);
            }
            i += 2;
            continue;
        }
        result += source[i];
    }
    return result;
}

QString DrawingScene::plainMText(const QString &source) {
    QString result;
    result.reserve(source.size());
    for (int i = 0; i < source.size(); ++i) {
        const QChar c = source[i];
        if (c == u'{' || c == u'}')
            continue;
        if (c != u'\\' || i + 1 >= source.size()) {
            result += c;
            continue;
        }
        const QChar code = source[++i];
        switch (code.unicode()) {
        case 'P':
            result += u'\n';
            break;
        case '~':
            result += u' ';
            break;
        case '\\':
        case '{':
        case '}':
            result += code;
            break;
        case 'L':
        case 'l':
        case 'O':
        case 'o':
        case 'K':
        case 'k':
        case 'N':
            break;
        case 'S': { // stacked text "a^b;", "a/b;", "a#b;": shown as a/b
            const int end = source.indexOf(u';', i + 1);
            QString stack = source.mid(i + 1, end < 0 ? -1 : end - i - 1);
            stack.replace(u'^', u'/').replace(u'#', u'/');
            result += stack;
            i = end < 0 ? int(source.size()) : end;
            break;
        }
        default: { // \f..; \H..; \W..; \Q..; \T..; \A..; \C..; \c..; \p..; and the like: up to the ';'
            const int end = source.indexOf(u';', i + 1);
            i = end < 0 ? int(source.size()) : end;
            break;
        }
        }
    }
    return plainText(result);
}

void DrawingScene::build(const CadDocument &document) {
    m_items.clear();
    m_extents = QRectF();
    m_layers.clear();
    m_document = &document;
    if (!document.isAlive())
        return;
    const CadLayers layers = document.Layers();
    for (int i = 0; i < layers.Count(); ++i) {
        if (const CadLayer *layer = layers.Item(i))
            m_layers.insert(layer->Name().toUpper(), {layer->Color(), !layer->isOff() && !layer->isFrozen()});
    }
    m_spans.clear();
    m_spanOf.clear();
    const QList<CadEntity *> entities = document.modelSpace();
    m_spans.reserve(entities.size());
    for (CadEntity *entity : entities) {
        if (!entity)
            continue;
        const qsizetype first = m_items.size();
        addEntity(*entity, QTransform(), entity, aciColor(7), 0);
        m_spanOf.insert(entity, m_spans.size());
        m_spans.append({entity, first, m_items.size() - first});
    }
}

void DrawingScene::update(const CadDocument &document, const QSet<CadEntity *> &changed,
                          const QSet<CadEntity *> &stringsOnly) {
    if (&document != m_document || !document.isAlive())
        return build(document);
    QSet<qsizetype> redo;
    bool renewed = false;
    for (CadEntity *entity : changed) {
        const CadEntity *top = entity && entity->owner() ? entity->owner() : entity;
        const auto span = m_spanOf.constFind(top);
        if (span == m_spanOf.constEnd())
            return build(document);
        if (top == entity && stringsOnly.contains(entity) && updateString(m_spans[*span]))
            renewed = true;
        else
            redo.insert(*span);
    }
    if (redo.isEmpty()) {
        if (renewed) {
            m_extents = QRectF();
            for (const Item &item : std::as_const(m_items))
                m_extents = m_extents.isNull() ? item.bounds : m_extents.united(item.bounds);
        }
        return;
    }
    QList<Item> old = std::exchange(m_items, QList<Item>());
    m_items.reserve(old.size());
    m_extents = QRectF();
    for (qsizetype i = 0; i < m_spans.size(); ++i) {
        Span &span = m_spans[i];
        const qsizetype first = m_items.size();
        if (redo.contains(i)) {
            addEntity(*span.entity, QTransform(), span.entity, aciColor(7), 0);
        } else {
            for (qsizetype k = span.first; k < span.first + span.count; ++k) {
                m_extents = m_extents.isNull() ? old[k].bounds : m_extents.united(old[k].bounds);
                m_items.append(std::move(old[k]));
            }
        }
        span.first = first;
        span.count = m_items.size() - first;
    }
}

bool DrawingScene::updateString(const Span &span) {
    if (span.count != 1 || !span.entity || span.entity->kind() != CadEntity::Kind::Text)
        return false;
    Item &item = m_items[span.first];
    if (!item.isText || item.text.lines.size() != 1 || item.text.origins.size() != 1)
        return false;
    const QString content = plainText(span.entity->TextString());
    if (content.isEmpty())
        return false;
    Text &text = item.text;
    const double width = textWidth(content) * text.widthFactor;
    const double x = text.align == 1 ? -width / 2 : text.align == 2 ? -width : 0.0;
    text.lines.first() = content;
    text.origins.first() = QPointF(x, text.baseline);
    text.outline = text.place.map(QPolygonF(QRectF(x, text.baseline - kDescent, width, 1 + kDescent)));
    item.bounds = text.outline.boundingRect();
    return true;
}

void DrawingScene::addEntities(const QList<CadEntity *> &entities, const QTransform &toDrawing,
                               CadEntity *owner, const QColor &byBlock, int depth) {
    for (CadEntity *entity : entities) {
        if (entity)
            addEntity(*entity, toDrawing, owner ? owner : entity, byBlock, depth);
    }
}

QColor DrawingScene::colorOf(const CadEntity &entity, const QColor &byBlock) const {
    if (entity.isInvisible())
        return {};
    const LayerLook layer = m_layers.value(entity.Layer().toUpper());
    if (!layer.shown)
        return {};
    const int index = entity.Color();
    if (index == CadColor::ByBlock)
        return byBlock;
    return aciColor(index == CadColor::ByLayer ? layer.color : index);
}

void DrawingScene::addEntity(CadEntity &entity, const QTransform &toDrawing, CadEntity *owner,
                             const QColor &byBlock, int depth) {
    const QColor color = colorOf(entity, byBlock);
    if (!color.isValid())
        return;
    using Kind = CadEntity::Kind;
    switch (entity.kind()) {
    case Kind::Line: {
        QPainterPath path(toPoint(entity.StartPoint()));
        path.lineTo(toPoint(entity.EndPoint()));
        addPath(owner, color, toDrawing.map(path));
        break;
    }
    case Kind::LwPolyline:
    case Kind::Polyline:
        addPath(owner, color, toDrawing.map(polyline(entity.vertices(), entity.isClosed())));
        break;
    case Kind::Circle:
    case Kind::Arc: {
        const bool circle = entity.kind() == Kind::Circle;
        const double r = entity.Radius();
        const double start = circle ? 0 : qDegreesToRadians(entity.StartAngle());
        const double end = circle ? 2 * M_PI : qDegreesToRadians(entity.EndAngle());
        QPainterPath path;
        path.addPolygon(arcPoints(toPoint(entity.Center()), r, r, 0, start, end));
        addPath(owner, color, toDrawing.map(path));
        break;
    }
    case Kind::Text:
    case Kind::Attribute:
    case Kind::AttributeDefinition:
        addSingleLineText(entity, toDrawing, owner, color, depth > 0);
        break;
    case Kind::MText:
        addMultilineText(entity, toDrawing, owner, color);
        break;
    case Kind::BlockReference:
    case Kind::Table:
        addBlockReference(entity, toDrawing, owner, color, depth);
        break;
    default:
        break;
    }
}

void DrawingScene::addSingleLineText(const CadEntity &entity, const QTransform &toDrawing, CadEntity *owner,
                                     const QColor &color, bool inBlock) {
    const bool definition = entity.kind() == CadEntity::Kind::AttributeDefinition;
    // A definition inside a block shows through its references' attributes; on its own it shows its tag.
    if (definition && inBlock)
        return;
    const QString content = plainText(definition ? entity.TagString() : entity.TextString());
    const double height = entity.Height();
    if (content.isEmpty() || !(height > 0))
        return;
    int horizontal = entity.horizontalAlignment();
    int vertical = entity.verticalAlignment();
    QPointF at = toPoint(entity.InsertionPoint());
    double rotation = qDegreesToRadians(entity.Rotation());
    if (horizontal == 3 || horizontal == 5) { // aligned, fit: along the two points, from the first
        const QPointF to = toPoint(entity.alignmentPoint()) - at;
        if (entity.hasAlignmentPoint() && !to.isNull())
            rotation = std::atan2(to.y(), to.x());
        horizontal = 0;
        vertical = 0;
    } else if (horizontal == 4) { // middle
        at = toPoint(entity.alignmentPoint());
        horizontal = 1;
        vertical = 2;
    } else if ((horizontal != 0 || vertical != 0) && entity.hasAlignmentPoint()) {
        at = toPoint(entity.alignmentPoint());
    }
    Text shown;
    shown.lines = {content};
    shown.widthFactor = entity.ScaleFactor() > 0 ? entity.ScaleFactor() : 1.0;
    const double width = textWidth(content) * shown.widthFactor;
    const double x = horizontal == 1 ? -width / 2 : horizontal == 2 ? -width : 0.0;
    const double baseline = vertical == 1 ? kDescent : vertical == 2 ? -0.5 : vertical == 3 ? -1.0 : 0.0;
    shown.origins = {QPointF(x, baseline)};
    shown.align = horizontal == 1 || horizontal == 2 ? horizontal : 0;
    shown.baseline = baseline;
    shown.place = placement(at, rotation, height, height) * toDrawing;
    shown.outline = shown.place.map(QPolygonF(QRectF(x, baseline - kDescent, width, 1 + kDescent)));
    addText(owner, color, shown);
}

void DrawingScene::addMultilineText(const CadEntity &entity, const QTransform &toDrawing, CadEntity *owner,
                                    const QColor &color) {
    const QString raw = entity.TextString();
    const double height = entity.Height();
    if (raw.isEmpty() || !(height > 0))
        return;
    Text shown;
    const double wrapWidth = entity.referenceWidth() / height;
    for (const QString &paragraph : plainMText(raw).split(u'\n'))
        shown.lines += wrapLine(paragraph, wrapWidth);
    const int attachment = std::clamp(entity.attachmentPoint(), 1, 9);
    const int horizontal = (attachment - 1) % 3;
    const int vertical = (attachment - 1) / 3; // 0 top, 1 middle, 2 bottom
    // The file keeps a multiline text's direction as a vector or as an angle.
    double rotation = qDegreesToRadians(entity.Rotation());
    const QPointF direction = toPoint(entity.alignmentPoint());
    if (entity.hasAlignmentPoint() && !direction.isNull())
        rotation = std::atan2(direction.y(), direction.x());
    double width = 0;
    for (const QString &line : std::as_const(shown.lines))
        width = std::max(width, textWidth(line));
    const double total = 1 + (shown.lines.size() - 1) * kLinePitch + kDescent;
    const double top = vertical == 0 ? 0.0 : vertical == 1 ? total / 2 : total;
    for (int k = 0; k < shown.lines.size(); ++k) {
        const double lineWidth = textWidth(shown.lines[k]);
        const double x = horizontal == 0 ? 0.0 : horizontal == 1 ? -lineWidth / 2 : -lineWidth;
        shown.origins.append(QPointF(x, top - 1 - k * kLinePitch));
    }
    const double left = horizontal == 0 ? 0.0 : horizontal == 1 ? -width / 2 : -width;
    shown.place = placement(toPoint(entity.InsertionPoint()), rotation, height, height) * toDrawing;
    shown.outline = shown.place.map(QPolygonF(QRectF(left, top - total, width, total)));
    addText(owner, color, shown);
}

void DrawingScene::addBlockReference(CadEntity &entity, const QTransform &toDrawing, CadEntity *owner,
                                     const QColor &color, int depth) {
    if (depth >= kMaxDepth || !m_document)
        return;
    if (const CadBlock *block = m_document->Blocks().Item(entity.Name())) {
        const QPointF base = toPoint(block->origin());
        const bool table = entity.kind() == CadEntity::Kind::Table;
        const QTransform toParent =
            QTransform::fromTranslate(-base.x(), -base.y()) *
            placement(toPoint(entity.InsertionPoint()), qDegreesToRadians(entity.Rotation()),
                      table ? 1.0 : entity.XScaleFactor(), table ? 1.0 : entity.YScaleFactor());
        addEntities(block->entities(), toParent * toDrawing, owner, color, depth + 1);
    }
    // Attributes stand where they are, in the reference's own space.
    for (CadEntity *attribute : entity.GetAttributes()) {
        if (attribute)
            addEntity(*attribute, toDrawing, owner, color, depth + 1);
    }
}

void DrawingScene::addPath(CadEntity *owner, const QColor &color, const QPainterPath &path) {
    if (path.isEmpty())
        return;
    Item item;
    item.owner = owner;
    item.color = color;
    item.path = path;
    item.bounds = path.boundingRect();
    m_extents = m_extents.isNull() ? item.bounds : m_extents.united(item.bounds);
    m_items.append(std::move(item));
}

void DrawingScene::addText(CadEntity *owner, const QColor &color, Text text) {
    Item item;
    item.owner = owner;
    item.color = color;
    item.isText = true;
    item.bounds = text.outline.boundingRect();
    item.text = std::move(text);
    m_extents = m_extents.isNull() ? item.bounds : m_extents.united(item.bounds);
    m_items.append(std::move(item));
}

namespace {

double distanceToSegment(const QPointF &p, const QPointF &a, const QPointF &b) {
    const QPointF ab = b - a;
    const double length2 = QPointF::dotProduct(ab, ab);
    const double t = length2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / length2, 0.0, 1.0) : 0.0;
    const QPointF nearest = a + ab * t;
    return std::hypot(p.x() - nearest.x(), p.y() - nearest.y());
}

double distanceToPath(const QPointF &p, const QPainterPath &path) {
    double best = std::numeric_limits<double>::max();
    for (const QPolygonF &polygon : path.toSubpathPolygons()) {
        for (int i = 0; i + 1 < polygon.size(); ++i)
            best = std::min(best, distanceToSegment(p, polygon[i], polygon[i + 1]));
        if (polygon.size() == 1)
            best = std::min(best, distanceToSegment(p, polygon[0], polygon[0]));
    }
    return best;
}

} // namespace

CadEntity *DrawingScene::ownerAt(const QPointF &point, double tolerance) const {
    CadEntity *best = nullptr;
    double bestDistance = tolerance;
    const QRectF near(point.x() - tolerance, point.y() - tolerance, 2 * tolerance, 2 * tolerance);
    for (const Item &item : m_items) {
        if (!item.bounds.adjusted(-tolerance, -tolerance, tolerance, tolerance).contains(point))
            continue;
        double distance;
        if (item.isText && item.text.outline.containsPoint(point, Qt::OddEvenFill)) {
            distance = 0.0;
        } else if (item.isText) {
            QPainterPath outline;
            outline.addPolygon(item.text.outline);
            distance = distanceToPath(point, outline);
        } else {
            distance = distanceToPath(point, item.path);
        }
        // Later items lie on top: on a tie, the later one wins.
        if (distance <= bestDistance) {
            bestDistance = distance;
            best = item.owner;
        }
    }
    Q_UNUSED(near);
    return best;
}

QList<CadEntity *> DrawingScene::ownersInside(const QRectF &window) const {
    QList<CadEntity *> order;
    QHash<CadEntity *, bool> inside;
    for (const Item &item : m_items) {
        const bool in = window.contains(item.bounds);
        auto it = inside.find(item.owner);
        if (it == inside.end()) {
            inside.insert(item.owner, in);
            order.append(item.owner);
        } else {
            *it = *it && in;
        }
    }
    QList<CadEntity *> result;
    for (CadEntity *owner : std::as_const(order)) {
        if (inside.value(owner))
            result.append(owner);
    }
    return result;
}

QList<CadEntity *> DrawingScene::ownersTouching(const QRectF &window) const {
    QList<CadEntity *> result;
    QSet<CadEntity *> seen;
    for (const Item &item : m_items) {
        if (seen.contains(item.owner) || !window.intersects(item.bounds.adjusted(0, 0, 1e-9, 1e-9)))
            continue;
        const bool touches = item.isText ? item.text.outline.intersects(QPolygonF(window))
                                         : window.contains(item.bounds) || item.path.intersects(window);
        if (touches) {
            seen.insert(item.owner);
            result.append(item.owner);
        }
    }
    return result;
}

} // namespace tavlo::drawing
