#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>

class Session;

// A member's collection of the rows that answer its query: "[查询条数]" says how many "[查询]" rows
// follow, and the answer is complete when that many have come.
class QueryRows {
public:
    // A new answer of `count` rows starts: rows left over from an earlier, incomplete one are not
    // counted in.
    void expect(int count);
    // Takes one row; every row of the answer once the last has come (and the collection starts over).
    std::optional<QStringList> add(const QString &row);
    void reset();
    int expected() const { return m_expected; }
    int received() const { return int(m_rows.size()); }

private:
    int m_expected = 0;
    QStringList m_rows;
};

// The information system's part of the protocol, routed with the session while this object lives.
// On a host, "[记录]" and "[查询]" of members wait in the session's request queue (served by whatever
// record store and query runner the information system set there). On a member, "[记录结果]" and the
// query answer ("[查询条数]", then the "[查询]" rows) are shown.
class InfoRoutes : public QObject {
    Q_OBJECT

public:
    struct Screen {
        std::function<void(const QString &text)> tip;
        // A "[记录结果]" came (after its tip was shown).
        std::function<void(const QString &result)> recordResult;
        // Every row of a query's answer came.
        std::function<void(const QStringList &rows)> showRows;
    };

    InfoRoutes(Session &session, Screen screen, QObject *parent = nullptr);
    ~InfoRoutes() override;

    const QueryRows &queryRows() const { return m_rows; }

private:
    void onQuery(const QString &payload, int source);
    void onQueryCount(const QString &payload);

    QPointer<Session> m_session;
    Screen m_screen;
    QueryRows m_rows;
};
