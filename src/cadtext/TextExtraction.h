#pragma once

#include "TextWalk.h"

#include <QString>
#include <QStringView>

#include <vector>

namespace tavlo::sheet {
class Worksheet;
} // namespace tavlo::sheet

// Copies the texts of a selection into a worksheet, one text per row: the drawing's name, the handle of
// the entity that holds the text and the text; column 4 is left for the translation.
namespace TextExtraction {

struct Options {
    TextWalk::Options walk;
    bool noDuplicate = false; // chkNoDuplicate: a text already in column 3 is not written again
    bool chineseOnly = false; // chkChineseOnly
};

// The rows one walk gives (the handle and the text of each), back to back in one buffer: they outlive
// their drawing, so that a drawing can be closed before its texts fill the sheet.
class Texts {
public:
    int count() const { return int(m_ends.size() / 2); }
    QStringView handle(int row) const { return field(2 * row); }
    QStringView text(int row) const { return field(2 * row + 1); }
    void append(QStringView handle, QStringView text);

private:
    QStringView field(int index) const {
        const qsizetype begin = index == 0 ? 0 : qsizetype(m_ends[size_t(index) - 1]);
        return QStringView(m_chars).sliced(begin, qsizetype(m_ends[size_t(index)]) - begin);
    }

    QString m_chars;
    std::vector<quint32> m_ends; // where each field ends in m_chars: handle, text, handle, text...
};

// The texts of the selection as ExtractTexts writes them below `baseRow`. Tables give each cell's
// cleaned text with the table's handle; multiline texts their cleaned text (always, once per entity);
// single-line texts, attributes (tag, then text) and attribute definitions (tag, prompt, text) their raw
// strings. The duplicate test reads column 3 of rows 1 to baseRow of `sheet`.
Texts CollectTexts(const QList<tavlo::drawing::CadEntity *> &selection, const tavlo::sheet::Worksheet &sheet,
                   int baseRow, const Options &options, const TextWalk::StepCallback &beforeEach = {});
// Writes the texts below `baseRow` (text n on row baseRow + n) with the drawing's name in column 1.
// Columns 1 to 3 must already be formatted "@". Returns how many rows were written.
int WriteTexts(const Texts &texts, const QString &drawingName, tavlo::sheet::Worksheet &sheet, int baseRow);

// CollectTexts, then WriteTexts; returns how many texts were written.
int ExtractTexts(const QList<tavlo::drawing::CadEntity *> &selection, const QString &drawingName,
                 tavlo::sheet::Worksheet &sheet, int baseRow, const Options &options,
                 const TextWalk::StepCallback &beforeEach = {});

} // namespace TextExtraction
