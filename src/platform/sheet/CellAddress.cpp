#include "CellAddress.h"

namespace tavlo::sheet {

QString columnLetters(int column) {
    if (column < 1 || column > kMaxColumns)
        return {};
    QString letters;
    while (column > 0) {
        const int digit = (column - 1) % 26;
        letters.prepend(QChar(u'A' + digit));
        column = (column - 1) / 26;
    }
    return letters;
}

int columnFromLetters(QStringView letters) {
    if (letters.isEmpty() || letters.size() > 3)
        return 0;
    int column = 0;
    for (QChar c : letters) {
        const char16_t u = c.toUpper().unicode();
        if (u < u'A' || u > u'Z')
            return 0;
        column = column * 26 + (u - u'A' + 1);
    }
    return column <= kMaxColumns ? column : 0;
}

bool parseCellAddress(QStringView address, int *row, int *column) {
    qsizetype i = 0;
    const qsizetype n = address.size();
    if (i < n && address[i] == u'$')
        ++i;
    const qsizetype lettersStart = i;
    while (i < n && address[i].isLetter() && address[i].unicode() < 128)
        ++i;
    const int col = columnFromLetters(address.mid(lettersStart, i - lettersStart));
    if (col == 0)
        return false;
    if (i < n && address[i] == u'$')
        ++i;
    if (i == n || address.size() - i > 7)
        return false;
    int r = 0;
    for (; i < n; ++i) {
        const char16_t u = address[i].unicode();
        if (u < u'0' || u > u'9')
            return false;
        r = r * 10 + (u - u'0');
    }
    if (r < 1 || r > kMaxRows)
        return false;
    if (row)
        *row = r;
    if (column)
        *column = col;
    return true;
}

QString cellAddress(int row, int column) {
    if (row < 1 || row > kMaxRows)
        return {};
    const QString letters = columnLetters(column);
    return letters.isEmpty() ? QString() : letters + QString::number(row);
}

} // namespace tavlo::sheet
