#include "ChineseConversion.h"

#include "common/modCommon.h"
#include "platform/drawing/CadDocument.h"
#include "platform/drawing/CadEntity.h"

namespace ChineseConversion {

using tavlo::drawing::CadDocument;
using tavlo::drawing::CadEntity;

namespace {

class Converter : public TextWalk::Visitor {
public:
    Converter(const CadDocument &document, const Options &options)
        : m_options(options)
        , m_style(QString::fromLatin1(kShiftStyle))
        , m_fits([&codec = document.codec()](QStringView c) { return codec.canHold(c); }) {}

    int count() const { return m_count; }

    void tableCell(CadEntity &table, int row, int column) override {
        ++m_count;
        const QString text = table.GetText(row, column);
        const QString converted = convert(text);
        if (converted != text)
            table.SetText(row, column, converted);
        if (m_options.convertFont)
            table.SetCellTextStyle(row, column, m_style);
        table.Update();
    }
    void multilineText(CadEntity &text) override {
        // Linked columns are one text: converted in place column by column, counted once.
        for (CadEntity *column : text.linkedColumns()) {
            const QString before = column->TextString();
            const QString converted = convert(before);
            if (converted != before)
                column->setTextString(converted);
            if (m_options.convertFont)
                column->setStyleName(m_style);
        }
        convertShown(text);
    }
    void singleLineText(CadEntity &text) override { convertShown(text); }
    void attribute(CadEntity &attribute) override {
        convertString(attribute, &CadEntity::TagString, &CadEntity::setTagString);
        convertShown(attribute);
    }
    void attributeDefinition(CadEntity &definition) override {
        convertString(definition, &CadEntity::TagString, &CadEntity::setTagString);
        convertString(definition, &CadEntity::PromptString, &CadEntity::setPromptString);
        convertString(definition, &CadEntity::TextString, &CadEntity::setTextString);
    }

private:
    using Getter = QString (CadEntity::*)() const;
    using Setter = void (CadEntity::*)(const QString &);

    QString convert(const QString &text) const {
        return modCommon::ConvertChineseScript(text, m_options.mode, m_fits);
    }

    // A string left as it was is not written again, so the drawing keeps its bytes there.
    void convertString(CadEntity &entity, Getter get, Setter set) {
        ++m_count;
        const QString text = (entity.*get)();
        const QString converted = convert(text);
        if (converted != text)
            (entity.*set)(converted);
    }

    void convertShown(CadEntity &entity) {
        convertString(entity, &CadEntity::TextString, &CadEntity::setTextString);
        if (m_options.convertFont)
            entity.setStyleName(m_style);
        entity.Update();
    }

    const Options &m_options;
    const QString m_style;
    // A converted character the drawing's code page lacks would be written as a \U+ escape that the
    // big fonts cannot show: the original character stays instead.
    const tavlo::text::CharacterFits m_fits;
    int m_count = 0;
};

} // namespace

void prepareShiftStyle(CadDocument &document, int mode) {
    tavlo::drawing::CadTextStyle *style = document.TextStyles().Add(QString::fromLatin1(kShiftStyle));
    if (!style)
        return;
    style->setFontFile(QStringLiteral("fszf.shx"));
    style->setBigFontFile(mode == 0 ? QStringLiteral("hzfs.shx") : QStringLiteral("gbcbig.shx"));
}

int ConvertChinese(const QList<CadEntity *> &selection, CadDocument &document, const Options &options,
                   const TextWalk::StepCallback &beforeEach) {
    if (options.convertFont)
        prepareShiftStyle(document, options.mode);
    Converter converter(document, options);
    TextWalk::visitSelection(selection, options.walk, converter, beforeEach);
    document.Regen(1);
    return converter.count();
}

} // namespace ChineseConversion
