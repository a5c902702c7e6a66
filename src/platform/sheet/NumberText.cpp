#include "NumberText.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

#include <cmath>

namespace tavlo::sheet {

namespace {

constexpr int kGeneralWidth = 11;

void stripTrailingZeros(QString &digits) {
    if (!digits.contains(u'.'))
        return;
    while (digits.endsWith(u'0'))
        digits.chop(1);
    if (digits.endsWith(u'.'))
        digits.chop(1);
}

// "1.234560e+11" -> "1.23456E+11"
QString scientific(double magnitude, int decimals) {
    QString s = QString::number(magnitude, 'e', decimals);
    const qsizetype e = s.indexOf(u'e');
    QString mantissa = s.left(e);
    stripTrailingZeros(mantissa);
    return mantissa + u'E' + s.mid(e + 1);
}

QString generalMagnitude(double a) {
    if (a >= 1e-4 && a < 1e11) {
        const int intDigits = a < 1 ? 1 : int(std::floor(std::log10(a))) + 1;
        const int decimals = std::max(0, kGeneralWidth - 1 - intDigits);
        QString fixed = QString::number(a, 'f', decimals);
        stripTrailingZeros(fixed);
        if (fixed.size() <= kGeneralWidth && fixed != QLatin1String("0"))
            return fixed;
    }
    QString s = scientific(a, 5);
    if (s.size() > kGeneralWidth) // three-digit exponent
        s = scientific(a, 4);
    return s;
}

} // namespace

QString generalText(double value) {
    if (!std::isfinite(value))
        return QStringLiteral("#NUM!");
    if (value == 0)
        return QStringLiteral("0");
    const QString magnitude = generalMagnitude(std::fabs(value));
    return value < 0 ? u'-' + magnitude : magnitude;
}

QString valueText(double value) {
    if (!std::isfinite(value))
        return QStringLiteral("#NUM!");
    if (value == 0)
        return QStringLiteral("0");
    QString s = QString::number(value, 'g', 15);
    s.replace(u'e', u'E');
    return s;
}

bool parseTypedNumber(QStringView text, double *value) {
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty() || !number.match(trimmed).hasMatch())
        return false;
    // Significant digits of the mantissa: leading zeros do not count, trailing ones after the point neither.
    qsizetype mantissaEnd = trimmed.indexOf(u'e', 0, Qt::CaseInsensitive);
    if (mantissaEnd < 0)
        mantissaEnd = trimmed.size();
    QString digits;
    for (QChar c : trimmed.left(mantissaEnd))
        if (c.isDigit())
            digits += c;
    const bool hasPoint = trimmed.left(mantissaEnd).contains(u'.');
    qsizetype first = 0;
    while (first < digits.size() && digits[first] == u'0')
        ++first;
    qsizetype last = digits.size();
    if (hasPoint) {
        const qsizetype pointPos = trimmed.left(mantissaEnd).indexOf(u'.');
        const qsizetype fractionDigits = mantissaEnd - pointPos - 1;
        qsizetype trailing = 0;
        while (trailing < fractionDigits && digits[last - 1 - trailing] == u'0')
            ++trailing;
        last -= trailing;
    }
    if (last - first > 15)
        return false;
    bool ok = false;
    const double v = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (value)
        *value = v == 0 ? 0.0 : v; // no negative zero
    return true;
}

QString builtinNumberFormat(int id) {
    switch (id) {
    case 0:
        return QStringLiteral("General");
    case 1:
        return QStringLiteral("0");
    case 2:
        return QStringLiteral("0.00");
    case 3:
        return QStringLiteral("#,##0");
    case 4:
        return QStringLiteral("#,##0.00");
    case 9:
        return QStringLiteral("0%");
    case 10:
        return QStringLiteral("0.00%");
    case 11:
        return QStringLiteral("0.00E+00");
    case 12:
        return QStringLiteral("# ?/?");
    case 13:
        return QStringLiteral("# ?\?/?\?");
    case 14:
        return QStringLiteral("yyyy/m/d");
    case 15:
        return QStringLiteral("d-mmm-yy");
    case 16:
        return QStringLiteral("d-mmm");
    case 17:
        return QStringLiteral("mmm-yy");
    case 18:
        return QStringLiteral("h:mm AM/PM");
    case 19:
        return QStringLiteral("h:mm:ss AM/PM");
    case 20:
        return QStringLiteral("h:mm");
    case 21:
        return QStringLiteral("h:mm:ss");
    case 22:
        return QStringLiteral("yyyy/m/d h:mm");
    case 37:
        return QStringLiteral("#,##0 ;(#,##0)");
    case 38:
        return QStringLiteral("#,##0 ;[Red](#,##0)");
    case 39:
        return QStringLiteral("#,##0.00;(#,##0.00)");
    case 40:
        return QStringLiteral("#,##0.00;[Red](#,##0.00)");
    case 45:
        return QStringLiteral("mm:ss");
    case 46:
        return QStringLiteral("[h]:mm:ss");
    case 47:
        return QStringLiteral("mmss.0");
    case 48:
        return QStringLiteral("##0.0E+0");
    case 49:
        return QStringLiteral("@");
    default:
        break;
    }
    // The Chinese locale's date and time formats.
    if ((id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
    return {};
}

namespace {

// The format's letters outside quoted texts, escaped characters and colour/locale brackets, lower-cased.
QString formatLetters(const QString &code) {
    QString letters;
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            const qsizetype close = code.indexOf(u']', i);
            if (close < 0)
                break;
            const QString inside = code.mid(i + 1, close - i - 1).toLower();
            // [h], [mm], [ss]: elapsed time; anything else (colours, conditions, locales) is no date part.
            if (!inside.isEmpty() && (inside[0] == u'h' || inside[0] == u'm' || inside[0] == u's'))
                letters += inside;
            i = close;
        } else {
            letters += c.toLower();
        }
    }
    return letters;
}

} // namespace

bool isDateTimeFormat(const QString &code) {
    if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return false;
    const QString letters = formatLetters(code);
    return letters.contains(u'y') || letters.contains(u'd') || letters.contains(u'h') ||
           letters.contains(u's') || letters.contains(QChar(0x5E74)) /* 年 */;
}

QString dateTimeText(double serial, const QString &code) {
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466)
        return {};
    const QString letters = formatLetters(code);
    const bool hasTime = letters.contains(u'h') || letters.contains(u's');
    const bool hasDate = letters.contains(u'y') || letters.contains(u'd') || !hasTime;

    qint64 days = qint64(std::floor(serial));
    qint64 seconds = qint64(std::llround((serial - double(days)) * 86400.0));
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    QString dateText;
    if (days == 60) {
        dateText = QStringLiteral("1900-02-29"); // the 1900 system counts this day that never was
    } else {
        const QDate date = days < 60 ? QDate(1899, 12, 31).addDays(days) : QDate(1899, 12, 30).addDays(days);
        dateText = date.toString(QStringLiteral("yyyy-MM-dd"));
    }
    const QString timeText = QTime(0, 0).addSecs(int(seconds)).toString(QStringLiteral("HH:mm:ss"));
    if (hasDate && hasTime)
        return dateText + u' ' + timeText;
    return hasDate ? dateText : timeText;
}

bool parseDateTimeText(const QString &text, double *serial) {
    static const QRegularExpression pattern(
        QStringLiteral("^(?:(\\d{4})-(\\d{2})-(\\d{2}))?[ T]?(?:(\\d{2}):(\\d{2}):(\\d{2}))?$"));
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch() || (m.captured(1).isEmpty() && m.captured(4).isEmpty()))
        return false;
    double value = 0;
    if (!m.captured(1).isEmpty()) {
        const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (!date.isValid())
            return false;
        const qint64 days = QDate(1899, 12, 30).daysTo(date);
        value = double(days < 61 ? days - 1 : days);
        if (value < 0)
            return false;
    }
    if (!m.captured(4).isEmpty()) {
        const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
        if (!time.isValid())
            return false;
        value += QTime(0, 0).secsTo(time) / 86400.0;
    }
    if (serial)
        *serial = value;
    return true;
}

} // namespace tavlo::sheet
