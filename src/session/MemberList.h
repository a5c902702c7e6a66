#pragma once

#include <QList>
#include <QObject>
#include <QString>

// The participants of the session as the member list shows them: one entry per participant, its text
// the participant's ID and its number the connection number (-1 the host, n >= 1 the member on
// host-side slot n). Entries are always found by number, never by position. Several entries can be
// selected at once (kick and whisper act on the selection).
class MemberList : public QObject {
    Q_OBJECT

public:
    static constexpr int kHostNumber = -1;

    struct Entry {
        int number = 0;
        QString name;
        bool selected = false;
    };

    explicit MemberList(QObject *parent = nullptr);

    // Replaces any entry with that number, then adds the name as a new last entry.
    void AddMember(int number, const QString &name);
    // Removes the first entry with that number; nothing when there is none.
    void RemoveMember(int number);
    // The text of the first entry with that number; empty when there is none.
    QString MemberName(int number) const;

    int count() const { return int(m_entries.size()); }
    const Entry &at(int position) const { return m_entries.at(position); }
    // Position of the first entry with that number, or -1.
    int positionOf(int number) const;
    bool contains(int number) const { return positionOf(number) >= 0; }
    QList<int> numbers() const;
    void removeAt(int position);
    void clear();

    bool isSelected(int position) const;
    void setSelected(int position, bool selected);
    void clearSelection();
    int selectedCount() const;

signals:
    // Entries were added, removed or cleared.
    void changed();
    void selectionChanged();

private:
    QList<Entry> m_entries;
};
