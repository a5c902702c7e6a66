#include "TextReplacement.h"

#include "MTextCleaning.h"
#include "common/modCommon.h"
#include "platform/drawing/CadDocument.h"
#include "platform/drawing/CadEntity.h"
#include "platform/sheet/Worksheet.h"

#include <algorithm>
#include <cmath>

namespace TextReplacement {

using tavlo::drawing::CadDocument;
using tavlo::drawing::CadEntity;
using tavlo::drawing::CadPoint;

namespace {

bool blank(const QString &text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c == QLatin1Char(' '); });
}

// The first row of `rows` (ascending) after `after`, or -1.
int nextRow(const QList<int> &rows, int after) {
    const auto it = std::upper_bound(rows.begin(), rows.end(), after);
    return it == rows.end() ? -1 : *it;
}

double textWidth(const CadEntity &entity) {
    CadPoint lower, upper;
    if (!entity.GetBoundingBox(&lower, &upper))
        return 0;
    return upper.x - lower.x;
}

class Replacer : public TextWalk::Visitor {
public:
    Replacer(CadDocument &document, const Manuscript &manuscript, const Options &options)
        : m_drawingName(document.Name())
        , m_manuscript(manuscript)
        , m_options(options)
        , m_style(QString::fromLatin1(kReplaceStyle)) {}

    int count() const { return m_count; }

    void tableCell(CadEntity &table, int row, int column) override {
        const auto outcome = m_manuscript.replaceText(MTextCleaning::CleanMText(table.GetText(row, column)),
                                                      MTextCleaning::CleanMText);
        if (outcome.count == 0)
            return;
        m_count += outcome.count;
        table.SetText(row, column, outcome.text);
        if (m_options.convertFont)
            table.SetCellTextStyle(row, column, m_style);
        table.Update();
    }

    void multilineText(CadEntity &text) override {
        const auto outcome = m_manuscript.replaceByHandle(text.Handle(), m_drawingName);
        if (outcome.count == 0)
            return;
        m_count += outcome.count;
        if (outcome.text != TextWalk::multilineContent(text))
            TextWalk::setMultilineContent(text, outcome.text);
        if (m_options.convertFont) {
            text.setStyleName(m_style);
            for (CadEntity *column : text.linkedColumns())
                column->setStyleName(m_style);
        }
        text.Update();
    }

    void singleLineText(CadEntity &text) override {
        replaceString(text, &CadEntity::TextString, &CadEntity::setTextString, true);
    }

    void attribute(CadEntity &attribute) override {
        replaceString(attribute, &CadEntity::TagString, &CadEntity::setTagString, true);
        replaceString(attribute, &CadEntity::TextString, &CadEntity::setTextString, true);
    }

    void attributeDefinition(CadEntity &definition) override {
        replaceString(definition, &CadEntity::TagString, &CadEntity::setTagString, false);
        replaceString(definition, &CadEntity::PromptString, &CadEntity::setPromptString, false);
        replaceString(definition, &CadEntity::TextString, &CadEntity::setTextString, false);
    }

private:
    using Getter = QString (CadEntity::*)() const;
    using Setter = void (CadEntity::*)(const QString &);

    // One string of a single-line text, attribute or attribute definition. Chained replacements give
    // the same width as keeping the width at each step, since widths grow linearly with the factor.
    void replaceString(CadEntity &entity, Getter get, Setter set, bool shown) {
        const QString before = (entity.*get)();
        const auto outcome = m_manuscript.replaceText(before);
        if (outcome.count == 0)
            return;
        m_count += outcome.count;
        const bool keepWidth = shown && m_options.matchWidth;
        const double oldWidth = keepWidth ? textWidth(entity) : 0;
        if (outcome.text != before)
            (entity.*set)(outcome.text);
        if (!shown)
            return;
        if (m_options.convertFont)
            entity.setStyleName(m_style);
        if (keepWidth) {
            const double newWidth = textWidth(entity);
            const double factor = entity.ScaleFactor() * oldWidth / newWidth;
            if (oldWidth > 0 && newWidth > 0 && std::isfinite(factor) && factor > 0 &&
                std::abs(factor - entity.ScaleFactor()) > 1e-12)
                entity.setScaleFactor(factor);
        }
        entity.Update();
    }

    const QString m_drawingName;
    const Manuscript &m_manuscript;
    const Options &m_options;
    const QString m_style;
    int m_count = 0;
};

} // namespace

Manuscript Manuscript::fromSheet(const tavlo::sheet::Worksheet &sheet, int fromRow, int toRow, int fromColumn,
                                 int toColumn) {
    Manuscript manuscript;
    for (int row = qMax(1, fromRow); row <= toRow; ++row)
        manuscript.addRow({sheet.value(row, 1), sheet.value(row, 2), sheet.value(row, fromColumn),
                           sheet.value(row, toColumn)});
    return manuscript;
}

void Manuscript::addRow(const Row &row) {
    if (blank(row.source) || blank(row.target))
        return;
    const int index = int(m_rows.size());
    m_rows.push_back(row);
    m_bySource[row.source].append(index);
    m_byHandle[row.handle].append(index);
    if (!blank(row.drawing))
        m_drawings.insert(row.drawing.toLower());
}

Manuscript::Outcome Manuscript::replaceText(const QString &text,
                                            const std::function<QString(const QString &)> &compared) const {
    Outcome outcome;
    QString current = text;
    int position = -1;
    for (;;) {
        const auto rows = m_bySource.constFind(current);
        if (rows == m_bySource.constEnd())
            break;
        position = nextRow(*rows, position);
        if (position < 0)
            break;
        outcome.text = m_rows[position].target;
        ++outcome.count;
        current = compared ? compared(outcome.text) : outcome.text;
    }
    return outcome;
}

Manuscript::Outcome Manuscript::replaceByHandle(const QString &handle, const QString &drawingName) const {
    Outcome outcome;
    const auto rows = m_byHandle.constFind(handle);
    if (rows == m_byHandle.constEnd())
        return outcome;
    const QString drawing = drawingName.toLower();
    const bool ownRowsOnly = m_drawings.contains(drawing);
    for (int index : *rows) {
        const Row &row = m_rows[index];
        if (ownRowsOnly && row.drawing.toLower() != drawing)
            continue;
        outcome.text = row.target;
        ++outcome.count;
    }
    return outcome;
}

void prepareReplaceStyle(CadDocument &document, const QString &sample) {
    tavlo::drawing::CadTextStyle *style = document.TextStyles().Add(QString::fromLatin1(kReplaceStyle));
    if (!style)
        return;
    if (modCommon::ContainsChinese(sample)) {
        style->setFontFile(QStringLiteral("fszf.shx"));
        style->setBigFontFile(QStringLiteral("hzfs.shx"));
    } else {
        style->setFontFile(QStringLiteral("romans.shx"));
        if (!style->BigFontFile().isEmpty())
            style->setBigFontFile(QString());
    }
}

int ReplaceTexts(const QList<CadEntity *> &selection, CadDocument &document, const Manuscript &manuscript,
                 const Options &options, const TextWalk::StepCallback &beforeEach) {
    if (options.convertFont)
        prepareReplaceStyle(document, options.sample);
    Replacer replacer(document, manuscript, options);
    TextWalk::visitSelection(selection, options.walk, replacer, beforeEach);
    document.Regen(1);
    return replacer.count();
}

} // namespace TextReplacement
