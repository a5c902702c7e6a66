#include "Whiteboard.h"

#include "Palette.h"

#include "session/Dispatcher.h"
#include "session/ProtocolTags.h"
#include "session/Session.h"
#include "session/WireFormat.h"

namespace Tags = ProtocolTags;

Whiteboard::Whiteboard(Session &session, View &view, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_view(view) {
    connect(&m_session, &Session::sessionReset, this, [this] { m_view.clearBoard(); });
    registerHandlers();
    comBrush_Click();
}

int Whiteboard::UsedBrush(const QString &payload, int brushCount) {
    const auto value = WireFormat::ToInt16(payload);
    const int index = value ? int(*value) : 0;
    return index < 0 || index > brushCount - 1 ? 0 : index;
}

void Whiteboard::registerHandlers() {
    Router &router = m_session.router();
    router.route(Tags::kBrush.text, [this](const IncomingLine &line) {
        const int index = UsedBrush(line.payload, m_view.brushCount());
        m_view.setBrushIndex(index);
        if (line.fromMember)
            m_session.SendToAllMembers(Tags::kBrush.line(QString::number(index)));
    });
    router.route(Tags::kLine.text, [this](const IncomingLine &line) {
        drawReceivedLine(line.payload);
        if (line.fromMember)
            m_session.SendToAllMembers(Tags::kLine.line(line.payload));
    });
    router.route(Tags::kClearPicture.text, [this](const IncomingLine &line) {
        m_view.clearBoard();
        if (line.fromMember)
            m_session.RelayExcept(Tags::kClearPicture.line(), line.source);
    });
}

QString Whiteboard::LineMessage(QPointF from, QPointF to, const QString &colorField) {
    return Tags::kLine.line(WireFormat::FormatNumberField(from.x()) +
                            WireFormat::FormatNumberField(from.y()) + WireFormat::FormatNumberField(to.x()) +
                            WireFormat::FormatNumberField(to.y()) + colorField);
}

QString Whiteboard::SelectedColor() const {
    return WireFormat::FormatNumberField(Palette::toWire(Palette::swatchColor(m_view.markedSwatch())));
}

void Whiteboard::send(const QString &line) {
    if (m_session.isHost())
        m_session.SendToAllMembers(line);
    else
        m_session.QueueToHost(line);
}

void Whiteboard::picDraw_MouseDown(QPoint twips) {
    m_view.drawOnBoard(twips, twips, Palette::swatchColor(m_view.markedSwatch()), m_penWidth);
    m_lastPoint = twips;
    send(Tags::kBrush.line(QString::number(m_view.brushIndex())));
    send(LineMessage(twips, twips, SelectedColor()));
}

void Whiteboard::picDraw_MouseMove(QPoint twips) {
    m_view.drawOnBoard(m_lastPoint, twips, Palette::swatchColor(m_view.markedSwatch()), m_penWidth);
    send(LineMessage(m_lastPoint, twips, SelectedColor()));
    m_lastPoint = twips;
}

void Whiteboard::comBrush_Click() {
    m_penWidth = m_view.brushWidth();
}

void Whiteboard::picSelColor_Click(int index) {
    m_view.markSwatch(index);
}

void Whiteboard::cmdClearDraw_Click() {
    send(Tags::kClearPicture.line());
    m_view.clearBoard();
}

void Whiteboard::drawReceivedLine(const QString &payload) {
    const auto x1 = WireFormat::ToSingle(WireFormat::FieldAt(payload, 1));
    const auto y1 = WireFormat::ToSingle(WireFormat::FieldAt(payload, 2));
    const auto x2 = WireFormat::ToSingle(WireFormat::FieldAt(payload, 3));
    const auto y2 = WireFormat::ToSingle(WireFormat::FieldAt(payload, 4));
    const auto color = WireFormat::ToInt32(WireFormat::FieldAt(payload, 5));
    if (!x1 || !y1 || !x2 || !y2 || !color)
        return;
    m_view.drawOnBoard(QPointF(*x1, *y1), QPointF(*x2, *y2), Palette::fromWire(*color), m_penWidth);
}
