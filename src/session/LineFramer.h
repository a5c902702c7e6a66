#pragma once

#include <QByteArray>
#include <QByteArrayList>

// Cuts the bytes one connection delivers into complete lines ending in CR LF. Whatever follows the last
// CR LF of an arrival is kept for the next one, so a line split across arrivals is put back together.
// A line longer than the cap marks the connection as misbehaving: the peer is to be dropped.
class LineFramer {
public:
    // Long enough for any line the program itself builds (the text boxes that feed a line are single
    // lines), short enough that a peer cannot make us hoard memory.
    static constexpr qsizetype kDefaultMaxLineBytes = 64 * 1024;

    explicit LineFramer(qsizetype maxLineBytes = kDefaultMaxLineBytes);

    // Takes the bytes of one arrival and returns the lines it completed, in order, without their CR LF.
    // When a line (complete or still growing) exceeds the cap, `overflow` is set, the lines before the
    // offending one are still returned, and everything else is thrown away.
    QByteArrayList feed(const QByteArray &bytes, bool *overflow);

    void clear();
    // Bytes held back waiting for their CR LF.
    qsizetype pending() const { return m_pending.size(); }

private:
    qsizetype m_maxLineBytes;
    QByteArray m_pending;
};
