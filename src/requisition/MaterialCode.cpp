#include "MaterialCode.h"

#include "common/modCommon.h"

namespace MaterialCode {

namespace {

bool codesValid(const QStringList &items, int codeWidth) {
    if (items.isEmpty())
        return false;
    for (const QString &item : items)
        if (!modCommon::IsCodeText(item.left(codeWidth)))
            return false;
    return true;
}

} // namespace

QString ComposeCode(const QString &category, const QString &name, const ParameterTexts &parameters) {
    QString code = category.left(kCategoryCodeWidth) + name.left(kItemCodeWidth);
    for (const QString &parameter : parameters)
        code += parameter.left(kItemCodeWidth);
    return code;
}

bool CodeValid(const QString &code) {
    return code.size() == kCodeLength && modCommon::IsCodeText(code);
}

bool DataSourceValid(const QStringList &categories, const QStringList &names,
                     const ParameterLists &parameters) {
    if (!codesValid(categories, kCategoryCodeWidth) || !codesValid(names, kItemCodeWidth))
        return false;
    for (const QStringList &list : parameters)
        if (!codesValid(list, kItemCodeWidth))
            return false;
    return true;
}

QString WithoutCode(const QString &text, int codeWidth) {
    if (text.size() <= codeWidth)
        return QString();
    QString rest = text.mid(codeWidth);
    if (rest.startsWith(u'-'))
        rest.remove(0, 1);
    return rest;
}

QString NameWithoutCode(const QString &name) {
    return WithoutCode(name, kItemCodeWidth);
}

QString StripCategoryKey(const QString &text) {
    return WithoutCode(text, kCategoryCodeWidth);
}

QString StripNameKey(const QString &text) {
    return WithoutCode(text, kItemCodeWidth);
}

bool IsCategoryKeyed(const QString &firstHeader) {
    return firstHeader.size() >= 5 && firstHeader.at(4) == u'-' &&
           modCommon::IsWholeNumber(firstHeader.left(kCategoryCodeWidth));
}

int CategoryColumn(const QString &category) {
    const QString digits = category.mid(2, 2);
    if (digits.size() != 2 || !digits.at(0).isDigit() || !digits.at(1).isDigit() ||
        digits.at(0).unicode() > 127 || digits.at(1).unicode() > 127)
        return 0;
    return digits.toInt();
}

QString SynthesizedName(const QString &categoryHeader) {
    return QStringLiteral("01") + categoryHeader.mid(kCategoryCodeWidth);
}

QString MaterialSpecText(const ParameterTexts &parameters) {
    QString text;
    for (const QString &parameter : parameters) {
        if (parameter.startsWith(QStringView(kNoValueCode)))
            continue;
        text += WithoutCode(parameter, kItemCodeWidth) + u' ';
    }
    return text;
}

} // namespace MaterialCode
