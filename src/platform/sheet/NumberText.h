#pragma once

#include <QString>
#include <QStringView>

// How numbers become texts and texts become numbers in a sheet. Pure functions, no state.
namespace tavlo::sheet {

// A number as a spreadsheet's General format shows it: at most 11 characters besides the sign,
// plain decimals from 0.0001 up to below 1E+11, otherwise scientific ("1.23457E+11", "1E-05").
QString generalText(double value);
// A number's full value as a program reads it from a cell: up to 15 significant digits
// ("123456789012", "0.3", "1E+20").
QString valueText(double value);

// What typing `text` into a cell of General format makes of it: true and the number when the text is a
// plain decimal number (blanks around it allowed). Texts whose digits a number cannot hold exactly
// (more than 15 significant digits, e.g. an 18-digit identity number) stay text, so nothing typed is lost.
bool parseTypedNumber(QStringView text, double *value);

// The code of a built-in number format (0 = "General", 49 = "@"); empty for unknown ids.
QString builtinNumberFormat(int id);
// True when the format code shows dates or times (it has a year, day, hour or second part).
bool isDateTimeFormat(const QString &code);
// A date serial number of the 1900 date system shown as "yyyy-mm-dd", "hh:mm:ss" or both, by which
// parts `code` holds. Empty when the serial is not a date (negative or beyond 9999-12-31).
QString dateTimeText(double serial, const QString &code);
// The serial of a "yyyy-mm-dd", "hh:mm:ss" or "yyyy-mm-dd hh:mm:ss" text; false when it is none of them.
bool parseDateTimeText(const QString &text, double *serial);

} // namespace tavlo::sheet
