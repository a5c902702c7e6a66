#include "TextWalk.h"

#include "platform/drawing/CadDocument.h"
#include "platform/drawing/CadEntity.h"

namespace TextWalk {

using Kind = CadEntity::Kind;

namespace {

void visitTable(CadEntity &table, const Options &options, Visitor &visitor) {
    if (!layerPasses(options, table.Layer()))
        return;
    const int rows = table.Rows();
    const int columns = table.Columns();
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            if (stylePasses(options, table.GetCellTextStyle(r, c)) &&
                colorPasses(options, table.GetCellContentColor(r, c)))
                visitor.tableCell(table, r, c);
}

// The inner kind test of block contents. An attribute definition counts with chkAttributeDefinition,
// the box that names it, and a table with chkTable.
bool innerKindPasses(const CadEntity &inner, const Options &options) {
    const Kind kind = inner.kind();
    const QString &form = options.lists.form;
    if (form.isEmpty() && (kind == Kind::Text || kind == Kind::MText))
        return true;
    if (!form.isEmpty() && inner.EntityName() == QLatin1String("AcDb") + form)
        return true;
    return (kind == Kind::BlockReference && options.insert) || (kind == Kind::Table && options.table) ||
           (kind == Kind::AttributeDefinition && options.attributeDefinition);
}

void visitBlockContents(const CadEntity &reference, const Options &options, Visitor &visitor) {
    const tavlo::drawing::CadDocument *document = reference.document();
    if (!document || !document->isAlive())
        return;
    const tavlo::drawing::CadBlock *block = document->Blocks().Item(reference.Name());
    if (!block)
        return;
    for (CadEntity *inner : block->entities()) {
        if (!innerKindPasses(*inner, options) || !layerPasses(options, inner->Layer()) ||
            !colorPasses(options, inner->Color()))
            continue;
        switch (inner->kind()) {
        case Kind::Table:
            visitTable(*inner, options, visitor);
            break;
        case Kind::AttributeDefinition:
            if (stylePasses(options, inner->StyleName()))
                visitor.attributeDefinition(*inner);
            break;
        case Kind::MText:
            if (stylePasses(options, inner->StyleName()) && !inner->isLinkedColumn())
                visitor.multilineText(*inner);
            break;
        case Kind::Text:
            if (stylePasses(options, inner->StyleName()))
                visitor.singleLineText(*inner);
            break;
        default: // inner block references are not descended into
            break;
        }
    }
}

void visitAttributes(const CadEntity &reference, const Options &options, Visitor &visitor) {
    if (!reference.HasAttributes())
        return;
    for (CadEntity *attribute : reference.GetAttributes()) {
        if (attribute->EntityName().compare(QLatin1String("AcDbAttribute"), Qt::CaseInsensitive) != 0)
            continue;
        if (layerPasses(options, attribute->Layer()) && stylePasses(options, attribute->StyleName()) &&
            colorPasses(options, attribute->Color()))
            visitor.attribute(*attribute);
    }
}

} // namespace

bool layerPasses(const Options &options, const QString &layer) {
    return options.lists.layer.isEmpty() || layer == options.lists.layer;
}

bool stylePasses(const Options &options, const QString &style) {
    return options.lists.style.isEmpty() || style == options.lists.style;
}

bool colorPasses(const Options &options, int color) {
    return options.lists.color.isEmpty() || color == modAutoCAD::ColorNameToIndex(options.lists.color);
}

QString multilineContent(const CadEntity &text) {
    const QList<CadEntity *> columns = text.linkedColumns();
    if (columns.isEmpty())
        return text.TextString();
    static const QString columnBreak = QStringLiteral("\\N");
    QString content = text.TextString();
    for (const CadEntity *column : columns) {
        if (content.endsWith(columnBreak))
            content.chop(columnBreak.size());
        content += column->TextString();
    }
    return content;
}

void setMultilineContent(CadEntity &text, const QString &content) {
    if (content != text.TextString())
        text.setTextString(content);
    for (CadEntity *column : text.linkedColumns())
        if (!column->TextString().isEmpty())
            column->setTextString(QString());
}

void visitEntity(CadEntity *entity, const Options &options, Visitor &visitor) {
    if (!entity || !entity->isAlive())
        return;
    switch (entity->kind()) {
    case Kind::Table:
        if (options.table)
            visitTable(*entity, options, visitor);
        break;
    case Kind::BlockReference:
        if (options.insert) {
            visitBlockContents(*entity, options, visitor);
            if (options.attribute)
                visitAttributes(*entity, options, visitor);
        }
        break;
    case Kind::AttributeDefinition:
        if (options.attributeDefinition)
            visitor.attributeDefinition(*entity);
        break;
    case Kind::MText:
        if (!entity->isLinkedColumn()) // its text is part of the first column's
            visitor.multilineText(*entity);
        break;
    case Kind::Text:
        visitor.singleLineText(*entity);
        break;
    default:
        break;
    }
}

int visitSelection(const QList<CadEntity *> &selection, const Options &options, Visitor &visitor,
                   const StepCallback &beforeEach) {
    const QList<CadEntity *> items = selection; // the set may change while the window runs
    const int total = int(items.size());
    int visited = 0;
    for (int i = 0; i < total; ++i) {
        if (beforeEach && !beforeEach(i, total))
            break;
        visitEntity(items[i], options, visitor);
        ++visited;
    }
    return visited;
}

} // namespace TextWalk
