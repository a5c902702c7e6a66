#pragma once

#include <QObject>
#include <QPoint>

class QColor;
class Session;

// The shared drawing area: strokes drawn here go to every participant as line segments, strokes
// drawn elsewhere arrive and are drawn here with this copy's brush width. Its part of the protocol:
// "[画笔]" is shown with the brush it stands for, and a host sends that brush to every member, the
// drawer included; "[直线]" is drawn and sent to every member as well; "[清除图片]" clears the board and
// goes to every member but the sender. No widgets: the chat panel is its view.
class Whiteboard : public QObject {
    Q_OBJECT

public:
    // The brush list, the palette and the board, as the whiteboard reads and sets them.
    class View {
    public:
        // The chosen brush, its width in pixels and how many brushes the list has.
        virtual int brushIndex() const = 0;
        virtual void setBrushIndex(int index) = 0;
        virtual int brushWidth() const = 0;
        virtual int brushCount() const = 0;
        virtual int markedSwatch() const = 0;
        virtual void markSwatch(int index) = 0;
        // Coordinates in twips.
        virtual void drawOnBoard(QPointF from, QPointF to, const QColor &color, int penWidth) = 0;
        virtual void clearBoard() = 0;

    protected:
        ~View() = default;
    };

    // The brush list the program was designed with.
    static constexpr int kDesignedBrushCount = 8;
    // The brush index a "[画笔]" payload stands for: values that are no number or beyond the brush list
    // (of brushCount entries) become 0.
    static int UsedBrush(const QString &payload, int brushCount);

    Whiteboard(Session &session, View &view, QObject *parent = nullptr);

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
    View &m_view;
    QPoint m_lastPoint;
    int m_penWidth = 1;
};
