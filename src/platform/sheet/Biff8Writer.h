#pragma once

#include "Biff8Records.h"
#include "BookContent.h"

#include <QByteArray>
#include <QString>

// The workbook stream of an Excel 97-2003 file (BIFF8): global records (fonts, formats, cell styles,
// sheet list, shared strings) followed by one substream per sheet.
namespace tavlo::sheet::biff8 {

// One record: type, payload length, payload (the payload must not exceed kMaxRecordData).
QByteArray record(quint16 type, const QByteArray &payload);
// A string with a 16-bit (long) or 8-bit (short) character count, then a flags byte: one byte per
// character when every character is below U+0100, otherwise UTF-16LE.
QByteArray unicodeString(const QString &text);
QByteArray shortUnicodeString(const QString &text);

// The shared string table: SST and CONTINUE records that split strings where the format allows, plus
// the EXTSST index. `streamOffset` is where the SST record will start in the stream.
struct SharedStrings {
    QByteArray records;
    QByteArray extsst;
};
SharedStrings buildSharedStrings(const QStringList &strings, quint32 totalReferences, qint64 streamOffset);

// The id a number-format code has in the file: its built-in id, or `nextCustomId` when it is no built-in.
int builtinFormatId(const QString &code);

// A sheet name the file format accepts: 1 to 31 characters, none of []:*?/\ and no apostrophe at either end.
bool isValidSheetName(const QString &name);

// The whole workbook stream. False (with a message) when the book does not fit the format: more than
// 65,536 rows or 256 columns, a text longer than 32,767 characters, or an invalid sheet name.
bool buildWorkbookStream(const BookView &book, QByteArray *stream, QString *error);

} // namespace tavlo::sheet::biff8
