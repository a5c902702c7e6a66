#pragma once

#include "TextWalk.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <vector>

namespace tavlo::drawing {
class CadDocument;
} // namespace tavlo::drawing

namespace tavlo::sheet {
class Worksheet;
} // namespace tavlo::sheet

// Writes translations from a manuscript back into a drawing.
namespace TextReplacement {

// The rows of a manuscript that can replace: source and target both non-blank. Lookups give exactly
// what a scan of the rows in order gives, where every qualifying row that matches replaces and each
// later row is compared with the text as it then stands, but through indexes by source text and by
// handle, so that a manuscript of any length costs the same per text.
class Manuscript {
public:
    struct Row {
        QString drawing; // column 1: the drawing the row was extracted from
        QString handle;  // column 2
        QString source;
        QString target; // untrimmed
    };

    // Rows fromRow..toRow of the sheet; column 2 gives the handle, the other two columns as asked.
    static Manuscript fromSheet(const tavlo::sheet::Worksheet &sheet, int fromRow, int toRow, int fromColumn,
                                int toColumn);
    // Adds the next row; rows whose source or target is blank are ignored.
    void addRow(const Row &row);
    int rowCount() const { return int(m_rows.size()); }

    struct Outcome {
        QString text;  // the last target that replaced
        int count = 0; // replacements made
    };
    // Texts: starting from `text`, every row in order whose source equals the text as it stands.
    // `compared` turns a target into what the next row is compared with (the cleaned cell text for
    // table cells); none for texts compared as they are.
    Outcome replaceText(const QString &text,
                        const std::function<QString(const QString &)> &compared = {}) const;
    // Multiline texts: every row whose handle equals the entity's. When rows name the drawing in
    // column 1, only that drawing's rows count, so that manuscripts of several drawings do not mix up
    // their handles; a manuscript naming other drawings only (a drawing renamed since) gives all rows.
    Outcome replaceByHandle(const QString &handle, const QString &drawingName) const;

private:
    std::vector<Row> m_rows;
    QHash<QString, QList<int>> m_bySource;
    QHash<QString, QList<int>> m_byHandle;
    QSet<QString> m_drawings; // column 1 of the rows, folded to lower case
};

struct Options {
    TextWalk::Options walk;
    bool convertFont = false; // chkConvertFont: replaced texts take the style "REPLACE_STYLE"
    bool matchWidth = false;  // chkMatchWidth: single-line texts keep their width
    QString sample;           // the target cell whose language decides the style's fonts
};

inline constexpr const char *kReplaceStyle = "REPLACE_STYLE";

// Adds "REPLACE_STYLE" (or finds it) with fonts for the sample's language: "fszf.shx" and the big font
// "hzfs.shx" for a Chinese sample, "romans.shx" alone otherwise.
void prepareReplaceStyle(tavlo::drawing::CadDocument &document, const QString &sample);

// Replaces the selection's texts from the manuscript and regenerates the drawing; returns the number
// of replacements. The drawing is changed in memory only.
int ReplaceTexts(const QList<tavlo::drawing::CadEntity *> &selection, tavlo::drawing::CadDocument &document,
                 const Manuscript &manuscript, const Options &options,
                 const TextWalk::StepCallback &beforeEach = {});

} // namespace TextReplacement
