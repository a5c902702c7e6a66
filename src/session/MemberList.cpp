#include "MemberList.h"

MemberList::MemberList(QObject *parent)
    : QObject(parent) {}

void MemberList::AddMember(int number, const QString &name) {
    const int existing = positionOf(number);
    if (existing >= 0)
        m_entries.removeAt(existing);
    m_entries.append(Entry{number, name, false});
    emit changed();
}

void MemberList::RemoveMember(int number) {
    const int position = positionOf(number);
    if (position >= 0)
        removeAt(position);
}

QString MemberList::MemberName(int number) const {
    const int position = positionOf(number);
    return position >= 0 ? m_entries[position].name : QString();
}

int MemberList::positionOf(int number) const {
    for (int i = 0; i < count(); ++i) {
        if (m_entries[i].number == number)
            return i;
    }
    return -1;
}

QList<int> MemberList::numbers() const {
    QList<int> result;
    result.reserve(m_entries.size());
    for (const Entry &e : m_entries)
        result.append(e.number);
    return result;
}

void MemberList::removeAt(int position) {
    if (position < 0 || position >= count())
        return;
    const bool wasSelected = m_entries[position].selected;
    m_entries.removeAt(position);
    emit changed();
    if (wasSelected)
        emit selectionChanged();
}

void MemberList::clear() {
    if (m_entries.isEmpty())
        return;
    const bool anySelected = selectedCount() > 0;
    m_entries.clear();
    emit changed();
    if (anySelected)
        emit selectionChanged();
}

bool MemberList::isSelected(int position) const {
    return position >= 0 && position < count() && m_entries[position].selected;
}

void MemberList::setSelected(int position, bool selected) {
    if (position < 0 || position >= count() || m_entries[position].selected == selected)
        return;
    m_entries[position].selected = selected;
    emit selectionChanged();
}

void MemberList::clearSelection() {
    bool any = false;
    for (Entry &e : m_entries) {
        any = any || e.selected;
        e.selected = false;
    }
    if (any)
        emit selectionChanged();
}

int MemberList::selectedCount() const {
    int n = 0;
    for (const Entry &e : m_entries)
        n += e.selected ? 1 : 0;
    return n;
}
