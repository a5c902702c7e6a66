#include "CellText.h"

#include "NumberText.h"

namespace tavlo::sheet {

namespace {

QString numberText(double number, const QString &formatCode, QString (*plain)(double)) {
    if (isDateTimeFormat(formatCode)) {
        const QString date = dateTimeText(number, formatCode);
        if (!date.isEmpty())
            return date;
    }
    return plain(number);
}

QString cellText(const Cell &cell, const QString &formatCode, QString (*plain)(double)) {
    switch (cell.kind) {
    case CellKind::Text:
        return cell.text;
    case CellKind::Number:
        return numberText(cell.number, formatCode, plain);
    case CellKind::Boolean:
        return cell.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case CellKind::Error:
        return errorText(quint8(cell.number));
    case CellKind::Empty:
        break;
    }
    return {};
}

} // namespace

QString shownText(const Cell &cell, const QString &formatCode) {
    return cellText(cell, formatCode, &generalText);
}

QString valueText(const Cell &cell, const QString &formatCode) {
    return cellText(cell, formatCode, static_cast<QString (*)(double)>(&valueText));
}

} // namespace tavlo::sheet

namespace tavlo::sheet {

namespace {

bool isWide(char32_t u) {
    return (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3) ||
           (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
           (u >= 0xFFE0 && u <= 0xFFE6) || (u >= 0x20000 && u <= 0x3FFFD);
}

} // namespace

double fittingColumnWidth(const QString &text) {
    double widest = 0;
    for (const QString &line : text.split(u'\n')) {
        double units = 0;
        for (char32_t u : line.toUcs4())
            units += isWide(u) ? 2 : 1;
        widest = std::max(widest, units);
    }
    return widest == 0 ? 0 : std::min(kMaxColumnWidth, widest + 1);
}

} // namespace tavlo::sheet
