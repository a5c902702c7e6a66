#include "LineFramer.h"

LineFramer::LineFramer(qsizetype maxLineBytes)
    : m_maxLineBytes(maxLineBytes) {}

QByteArrayList LineFramer::feed(const QByteArray &bytes, bool *overflow) {
    *overflow = false;
    // A CR at the end of the held bytes may pair with an LF at the start of these.
    qsizetype searchFrom = qMax<qsizetype>(0, m_pending.size() - 1);
    m_pending += bytes;

    QByteArrayList lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = m_pending.indexOf("\r\n", qMax(start, searchFrom));
        if (end < 0)
            break;
        if (end - start > m_maxLineBytes) {
            *overflow = true;
            clear();
            return lines;
        }
        lines.append(m_pending.mid(start, end - start));
        start = end + 2;
    }
    m_pending.remove(0, start);
    if (m_pending.size() > m_maxLineBytes + 1) { // + 1: the CR of a full-length line may wait for its LF
        *overflow = true;
        clear();
    }
    return lines;
}

void LineFramer::clear() {
    m_pending.clear();
}
