#pragma once

#include <QObject>
#include <QPoint>

class ChatPanel;
class Session;

// The shared drawing area: strokes drawn here go to every participant as line segments, strokes
// drawn elsewhere arrive and are drawn here with this copy's brush width.
class Whiteboard : public QObject {
    Q_OBJECT

public:
    Whiteboard(Session &session, ChatPanel &panel, QObject *parent = nullptr);

    void picDraw_MouseDown(QPoint twips);
    void picDraw_MouseMove(QPoint twips);
    void comBrush_Click();
    void picSelColor_Click(int index);
    void cmdClearDraw_Click();
    // The colour of the marked swatch as a number field.
    QString SelectedColor() const;
    int penWidth() const { return m_penWidth; }

    // "[直线]" + x1, y1, x2, y2 and colour, each as a number field.
    static QString LineMessage(QPointF from, QPointF to, const QString &colorField);

private:
    void registerHandlers();
    void send(const QString &line);
    void drawReceivedLine(const QString &payload);

    Session &m_session;
    ChatPanel &m_panel;
    QPoint m_lastPoint;
    int m_penWidth = 1;
};
