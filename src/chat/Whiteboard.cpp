#include "Whiteboard.h"

#include "ChatPanel.h"
#include "ChatRoutes.h"
#include "DrawingBoard.h"
#include "Palette.h"

#include "session/ProtocolTags.h"
#include "session/Session.h"
#include "session/WireFormat.h"

#include <QPushButton>

Whiteboard::Whiteboard(Session &session, ChatPanel &panel, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_panel(panel) {
    connect(m_panel.picDraw, &DrawingBoard::leftButtonDown, this, &Whiteboard::picDraw_MouseDown);
    connect(m_panel.picDraw, &DrawingBoard::leftButtonMove, this, &Whiteboard::picDraw_MouseMove);
    connect(&m_panel, &ChatPanel::brushChanged, this, &Whiteboard::comBrush_Click);
    connect(&m_panel, &ChatPanel::swatchClicked, this, &Whiteboard::picSelColor_Click);
    connect(m_panel.cmdClearDraw, &QPushButton::clicked, this, &Whiteboard::cmdClearDraw_Click);
    connect(&m_session, &Session::sessionReset, m_panel.picDraw, &DrawingBoard::clear);
    registerHandlers();
    comBrush_Click();
}

void Whiteboard::registerHandlers() {
    ChatRoutes::routeWhiteboard(m_session, {[this] { return m_panel.brushCount(); },
                                            [this](int index) { m_panel.setBrushIndex(index); },
                                            [this](const QString &payload) { drawReceivedLine(payload); },
                                            [this] { m_panel.picDraw->clear(); }});
}

QString Whiteboard::LineMessage(QPointF from, QPointF to, const QString &colorField) {
    return ProtocolTags::kLine.line(
        WireFormat::FormatNumberField(from.x()) + WireFormat::FormatNumberField(from.y()) +
        WireFormat::FormatNumberField(to.x()) + WireFormat::FormatNumberField(to.y()) + colorField);
}

QString Whiteboard::SelectedColor() const {
    return WireFormat::FormatNumberField(Palette::toWire(Palette::swatchColor(m_panel.markedSwatch())));
}

void Whiteboard::send(const QString &line) {
    if (m_session.isHost())
        m_session.SendToAllMembers(line);
    else
        m_session.QueueToHost(line);
}

void Whiteboard::picDraw_MouseDown(QPoint twips) {
    m_panel.picDraw->drawLine(twips, twips, Palette::swatchColor(m_panel.markedSwatch()), m_penWidth);
    m_lastPoint = twips;
    send(ProtocolTags::kBrush.line(QString::number(m_panel.brushIndex())));
    send(LineMessage(twips, twips, SelectedColor()));
}

void Whiteboard::picDraw_MouseMove(QPoint twips) {
    m_panel.picDraw->drawLine(m_lastPoint, twips, Palette::swatchColor(m_panel.markedSwatch()), m_penWidth);
    send(LineMessage(m_lastPoint, twips, SelectedColor()));
    m_lastPoint = twips;
}

void Whiteboard::comBrush_Click() {
    m_penWidth = m_panel.brushWidth();
}

void Whiteboard::picSelColor_Click(int index) {
    m_panel.markSwatch(index);
}

void Whiteboard::cmdClearDraw_Click() {
    send(ProtocolTags::kClearPicture.line());
    m_panel.picDraw->clear();
}

void Whiteboard::drawReceivedLine(const QString &payload) {
    const auto x1 = WireFormat::ToSingle(WireFormat::FieldAt(payload, 1));
    const auto y1 = WireFormat::ToSingle(WireFormat::FieldAt(payload, 2));
    const auto x2 = WireFormat::ToSingle(WireFormat::FieldAt(payload, 3));
    const auto y2 = WireFormat::ToSingle(WireFormat::FieldAt(payload, 4));
    const auto color = WireFormat::ToInt32(WireFormat::FieldAt(payload, 5));
    if (!x1 || !y1 || !x2 || !y2 || !color)
        return;
    m_panel.picDraw->drawLine(QPointF(*x1, *y1), QPointF(*x2, *y2), Palette::fromWire(*color), m_penWidth);
}
