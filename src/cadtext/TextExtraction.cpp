#include "TextExtraction.h"

#include "MTextCleaning.h"
#include "common/modCommon.h"
#include "platform/drawing/CadEntity.h"
#include "platform/sheet/Worksheet.h"

#include <QSet>

namespace TextExtraction {

namespace {

using tavlo::drawing::CadEntity;

bool blank(const QString &text) {
    for (QChar c : text)
        if (c != QLatin1Char(' '))
            return false;
    return true;
}

class Extractor : public TextWalk::Visitor {
public:
    Extractor(const tavlo::sheet::Worksheet &sheet, int baseRow, const Options &options)
        : m_options(options) {
        // The duplicate test looks at column 3 of every row so far: those above the run are read once.
        if (m_options.noDuplicate)
            for (int row = 1; row <= baseRow; ++row)
                m_written.insert(sheet.value(row, 3));
    }

    Texts take() { return std::move(m_texts); }

    void tableCell(CadEntity &table, int row, int column) override {
        const QString raw = table.GetText(row, column);
        candidate(table.Handle(), raw, MTextCleaning::CleanMText(raw), true);
    }
    void multilineText(CadEntity &text) override {
        const QString raw = TextWalk::multilineContent(text);
        candidate(text.Handle(), raw, MTextCleaning::CleanMText(raw), false);
    }
    void singleLineText(CadEntity &text) override {
        const QString raw = text.TextString();
        candidate(text.Handle(), raw, raw, true);
    }
    void attribute(CadEntity &attribute) override {
        const QString handle = attribute.Handle();
        candidate(handle, attribute.TagString(), attribute.TagString(), true);
        candidate(handle, attribute.TextString(), attribute.TextString(), true);
    }
    void attributeDefinition(CadEntity &definition) override {
        const QString handle = definition.Handle();
        for (const QString &text :
             {definition.TagString(), definition.PromptString(), definition.TextString()})
            candidate(handle, text, text, true);
    }

private:
    // The Chinese and non-empty tests look at the source text, the duplicate test at what is written.
    // A text that cleans to nothing has nothing to translate and is not written either.
    void candidate(const QString &handle, const QString &source, const QString &written, bool duplicateTest) {
        if (blank(source) || blank(written))
            return;
        if (m_options.chineseOnly && !modCommon::ContainsChinese(source))
            return;
        if (m_options.noDuplicate && duplicateTest && m_written.contains(written))
            return;
        m_texts.append(handle, written);
        if (m_options.noDuplicate)
            m_written.insert(written);
    }

    const Options &m_options;
    QSet<QString> m_written;
    Texts m_texts;
};

} // namespace

void Texts::append(QStringView handle, QStringView text) {
    for (QStringView field : {handle, text}) {
        m_chars.append(field);
        m_ends.push_back(quint32(m_chars.size()));
    }
}

Texts CollectTexts(const QList<CadEntity *> &selection, const tavlo::sheet::Worksheet &sheet, int baseRow,
                   const Options &options, const TextWalk::StepCallback &beforeEach) {
    Extractor extractor(sheet, baseRow, options);
    TextWalk::visitSelection(selection, options.walk, extractor, beforeEach);
    return extractor.take();
}

int WriteTexts(const Texts &texts, const QString &drawingName, tavlo::sheet::Worksheet &sheet, int baseRow) {
    for (int i = 0; i < texts.count(); ++i) {
        const int row = baseRow + 1 + i;
        sheet.setValue(row, 1, drawingName);
        sheet.setValue(row, 2, texts.handle(i).toString());
        sheet.setValue(row, 3, texts.text(i).toString());
    }
    return texts.count();
}

int ExtractTexts(const QList<CadEntity *> &selection, const QString &drawingName,
                 tavlo::sheet::Worksheet &sheet, int baseRow, const Options &options,
                 const TextWalk::StepCallback &beforeEach) {
    return WriteTexts(CollectTexts(selection, sheet, baseRow, options, beforeEach), drawingName, sheet,
                      baseRow);
}

} // namespace TextExtraction
