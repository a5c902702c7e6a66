#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The compound file container (OLE2 structured storage) that holds an Excel 97-2003 workbook stream.
namespace tavlo::sheet::cfb {

inline constexpr quint32 kFreeSector = 0xFFFFFFFF;
inline constexpr quint32 kEndOfChain = 0xFFFFFFFE;
inline constexpr quint32 kFatSector = 0xFFFFFFFD;
inline constexpr quint32 kDifatSector = 0xFFFFFFFC;

// A version 3 compound file (512-byte sectors) whose root storage holds the one stream. Streams shorter
// than 4096 bytes are padded to 4096 so that they live in ordinary sectors, as spreadsheet writers do.
QByteArray build(const QString &streamName, const QByteArray &stream);

// Reads the first stream whose name matches one of `names` (any case), from ordinary or mini sectors.
// Every sector chain is checked against the file's size and for loops, so a broken or hostile file ends
// in false and a message in `error`. Streams longer than `maxStreamBytes` are refused.
bool readStream(const QByteArray &file, const QStringList &names, QByteArray *stream, QString *error,
                qint64 maxStreamBytes = 256LL << 20);

} // namespace tavlo::sheet::cfb
