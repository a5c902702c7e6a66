#pragma once

#include "CadTypes.h"

#include <QList>
#include <QString>

#include <memory>

namespace tavlo::drawing {

class CadDocument;
class CadBlock;
struct DxfChunk;
struct TableCells;

// One entity of a drawing (model space, paper space or a block definition), read from and written to
// its DXF pairs. Every member answers for every kind: a member that does not apply gives an empty or
// neutral value and a setter that does not apply does nothing, as late-bound calls that fail and are
// ignored would. After its drawing was closed every call fails the same quiet way.
class CadEntity {
public:
    enum class Kind {
        Text,
        MText,
        Table,
        BlockReference,
        AttributeDefinition,
        Attribute,
        Line,
        Arc,
        Circle,
        LwPolyline,
        Polyline, // old-style POLYLINE with VERTEX entities
        Point,
        Other
    };

    CadEntity(CadDocument *document, DxfChunk *chunk, Kind kind);
    ~CadEntity();
    CadEntity(const CadEntity &) = delete;
    CadEntity &operator=(const CadEntity &) = delete;

    CadDocument *document() const { return m_document; }
    bool isAlive() const;
    Kind kind() const { return m_kind; }

    // "AcDbText", "AcDbMText", "AcDbTable", "AcDbBlockReference", "AcDbAttributeDefinition",
    // "AcDbAttribute", "AcDbLine", "AcDbArc", "AcDbCircle", "AcDbPolyline", "AcDb2dPolyline", "AcDbPoint";
    // other kinds give "AcDb" followed by their DXF type as written ("AcDbDIMENSION").
    QString EntityName() const;
    // The DXF type as written ("TEXT", "MTEXT", "ACAD_TABLE", "INSERT", ...).
    QString dxfType() const;
    QString Handle() const;
    QString Layer() const; // "0" when the entity names none
    // 256 ByLayer (also when the entity names none), 0 ByBlock, 1..255 an index.
    int Color() const;
    bool inPaperSpace() const; // group 67 = 1
    bool isInvisible() const;  // group 60 = 1, or an invisible attribute (flag 1 of group 70)
    // The text style ("Standard" when the entity names none); empty for kinds without a style.
    QString StyleName() const;
    void setStyleName(const QString &name);
    // A block reference's (and a table's) block name; a layer or style-like name for other kinds: empty.
    QString Name() const;

    // Texts, multiline texts, attributes and attribute definitions. The text with \U+ and \M+ escapes
    // decoded; a multiline text keeps its format codes (\P, {\H2.5;...}) and is joined from its chunks.
    QString TextString() const;
    void setTextString(const QString &text);
    // A multiline text set in linked columns: drawings before R2018 keep each further column as an MTEXT
    // of its own, named in the first one's extended data. linkedColumns() gives those further columns
    // in order (empty for other texts); isLinkedColumn() is true for such a further column, whose text
    // belongs to the first one's.
    QList<CadEntity *> linkedColumns() const;
    bool isLinkedColumn() const;
    // Width factor (group 41) of single-line texts, attributes and attribute definitions: 1 when absent.
    double ScaleFactor() const;
    void setScaleFactor(double factor);
    // Lower-left and upper-right corners in drawing units (see TextMetrics.h for the approximation).
    bool GetBoundingBox(CadPoint *lowerLeft, CadPoint *upperRight) const;
    // Tells the drawing's windows to repaint.
    void Update();

    // Attribute definitions and attributes.
    QString TagString() const;
    void setTagString(const QString &tag);
    QString PromptString() const; // attribute definitions only
    void setPromptString(const QString &prompt);

    // Block references: the attributes that follow the reference (ATTRIB ... SEQEND).
    bool HasAttributes() const;
    QList<CadEntity *> GetAttributes() const;
    // The block reference an attribute belongs to; nullptr for other kinds.
    CadEntity *owner() const { return m_owner; }

    // Tables (ACAD_TABLE); rows and columns count from 0. The cell text carries its format codes.
    int Rows() const;
    int Columns() const;
    QString GetText(int row, int column) const;
    // Updates every place the drawing keeps the cell's text: the table entity, the MTEXT of its anonymous
    // block and the table content object when there is one.
    bool SetText(int row, int column, const QString &text);
    QString GetCellTextStyle(int row, int column) const;
    void SetCellTextStyle(int row, int column, const QString &style);
    int GetCellContentColor(int row, int column) const; // a colour index as Color()
    QList<double> rowHeights() const;
    QList<double> columnWidths() const;

    // Geometry for drawing the entity. Angles in degrees as the file keeps them.
    CadPoint InsertionPoint() const; // group 10: texts, block references, tables, points
    CadPoint alignmentPoint() const; // group 11 of texts; the direction vector of a multiline text
    bool hasAlignmentPoint() const;
    double Height() const;           // group 40: text height
    double Rotation() const;         // group 50, degrees
    int horizontalAlignment() const; // group 72 of texts
    int verticalAlignment() const;   // group 73 of texts (74 of attributes)
    int attachmentPoint() const;     // group 71 of multiline texts: 1 top left ... 9 bottom right
    double referenceWidth() const;   // group 41 of multiline texts: wrapping width, 0 none
    CadPoint StartPoint() const;     // lines
    CadPoint EndPoint() const;
    CadPoint Center() const; // arcs, circles
    double Radius() const;
    double StartAngle() const; // arcs, degrees
    double EndAngle() const;
    QList<CadVertex> vertices() const; // polylines
    bool isClosed() const;
    double XScaleFactor() const; // block references: groups 41, 42, 43 (1 when absent)
    double YScaleFactor() const;
    double ZScaleFactor() const;

    // The pairs behind this entity, for the filter and the tests.
    DxfChunk *chunk() const { return m_chunk; }
    bool hasSubclass(const QString &marker) const;

private:
    friend class CadDocument;
    double realValue(int code, double fallback, int occurrence = 0) const;
    int intValue(int code, int fallback) const;
    QString stringValue(int code) const;
    int textRange(int *from, int *to) const;
    void setRealValue(int code, double value, const QList<int> &after);
    TableCells &table() const;

    // What only some kinds carry, kept apart so that the many plain texts of a drawing stay small.
    struct Extras;
    Extras &extras() const;
    void addAttribute(CadEntity *attribute);
    void addVertex(DxfChunk *vertex);
    void forgetTableLayout();

    CadDocument *m_document;
    DxfChunk *m_chunk;
    CadEntity *m_owner = nullptr;
    mutable std::unique_ptr<Extras> m_extras;
    Kind m_kind;
};

} // namespace tavlo::drawing
