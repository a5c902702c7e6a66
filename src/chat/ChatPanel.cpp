#include "ChatPanel.h"

#include "DrawingBoard.h"

#include "common/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
constexpr int kBrushCount = 8;
constexpr int kBoardLeft = 960;
constexpr int kBoardTop = 360;
constexpr int kBoardSide = 2895;
constexpr int kTalkLeft = 4020;
constexpr int kTalkWidth = 4260;
} // namespace

ChatPanel::ChatPanel(QGroupBox *panel)
    : QObject(panel) {
    for (int i = 0; i < Palette::kSwatchCount; ++i) {
        const QPoint cell = Palette::swatchCell(i);
        auto *swatch = new QFrame(panel);
        swatch->setObjectName(QStringLiteral("picSelColor%1").arg(i));
        swatch->setGeometry(twipsRect(cell.x() == 1 ? 120 : 480, 360 + (cell.y() - 1) * 360, 375, 375));
        swatch->setAutoFillBackground(true);
        QPalette colours = swatch->palette();
        colours.setColor(QPalette::Window, Palette::swatchColor(i));
        colours.setColor(QPalette::WindowText, Qt::black);
        swatch->setPalette(colours);
        swatch->setCursor(Qt::PointingHandCursor);
        swatch->installEventFilter(this);
        picSelColor[i] = swatch;
    }

    picDraw = new DrawingBoard(panel);
    picDraw->setObjectName(QStringLiteral("picDraw"));
    picDraw->setGeometry(twipsRect(kBoardLeft, kBoardTop, kBoardSide, kBoardSide));

    auto *brushLabel = new QLabel(QStringLiteral("画笔规格"), panel);
    brushLabel->setGeometry(twipsRect(kBoardLeft, 3420, 1200, 330));
    comBrush = new QComboBox(panel);
    comBrush->setObjectName(QStringLiteral("comBrush"));
    for (int i = 1; i <= kBrushCount; ++i)
        comBrush->addItem(QString::number(i));
    comBrush->setGeometry(twipsRect(kBoardLeft + 1200, 3390, 900, 360));
    connect(comBrush, &QComboBox::currentIndexChanged, this, &ChatPanel::brushChanged);
    cmdClearDraw = new QPushButton(QStringLiteral("清除图象"), panel);
    cmdClearDraw->setGeometry(twipsRect(kBoardLeft + 1200, 3900, 1695, 420));

    txtDialog = new QPlainTextEdit(panel);
    txtDialog->setObjectName(QStringLiteral("txtDialog"));
    txtDialog->setReadOnly(true);
    txtDialog->setGeometry(twipsRect(kTalkLeft, 360, kTalkWidth, 4200));

    txtMessage = new QLineEdit(panel);
    txtMessage->setObjectName(QStringLiteral("txtMessage"));
    txtMessage->setGeometry(twipsRect(kTalkLeft, 4680, kTalkWidth, 360));
    txtMessage->installEventFilter(this);

    cmdSend = new QPushButton(QStringLiteral("发送消息"), panel);
    cmdSend->setGeometry(twipsRect(kTalkLeft, 5160, 1320, 420));
    chkPrivate = new QCheckBox(QStringLiteral("悄悄话"), panel);
    chkPrivate->setGeometry(twipsRect(kTalkLeft + 1500, 5190, 1200, 360));
    cmdClearDialog = new QPushButton(QStringLiteral("清除消息"), panel);
    cmdClearDialog->setGeometry(twipsRect(kTalkLeft + kTalkWidth - 1320, 5160, 1320, 420));

    markSwatch(Palette::kDefaultSwatch);
}

QString ChatPanel::message() const {
    return txtMessage->text();
}

void ChatPanel::clearMessage() {
    txtMessage->clear();
    txtMessage->setFocus();
}

void ChatPanel::appendToTranscript(const QString &lines) {
    txtDialog->appendPlainText(lines);
    txtDialog->moveCursor(QTextCursor::End);
}

void ChatPanel::clearTranscript() {
    txtDialog->clear();
}

void ChatPanel::setLimits(int messageLength, int transcriptLines) {
    txtMessage->setMaxLength(messageLength);
    txtDialog->setMaximumBlockCount(transcriptLines);
}

int ChatPanel::brushIndex() const {
    return comBrush->currentIndex();
}

void ChatPanel::setBrushIndex(int index) {
    comBrush->setCurrentIndex(index);
}

int ChatPanel::brushWidth() const {
    return comBrush->currentText().toInt();
}

int ChatPanel::brushCount() const {
    return comBrush->count();
}

bool ChatPanel::privateChat() const {
    return chkPrivate->isChecked();
}

void ChatPanel::setPrivateChat(bool on) {
    chkPrivate->setChecked(on);
}

void ChatPanel::markSwatch(int index) {
    for (int i = 0; i < Palette::kSwatchCount; ++i) {
        // A sunken edge shows on every colour, black and white included.
        picSelColor[i]->setFrameStyle(i == index ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
        picSelColor[i]->setLineWidth(i == index ? 2 : 0);
    }
}

int ChatPanel::markedSwatch() const {
    for (int i = 0; i < Palette::kSwatchCount; ++i) {
        if (picSelColor[i]->frameShape() != QFrame::NoFrame)
            return i;
    }
    return Palette::kDefaultSwatch;
}

bool ChatPanel::eventFilter(QObject *watched, QEvent *event) {
    if (watched == txtMessage && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit messageEntered();
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonPress) {
        for (int i = 0; i < Palette::kSwatchCount; ++i) {
            if (watched == picSelColor[i]) {
                emit swatchClicked(i);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void ChatPanel::drawOnBoard(QPointF from, QPointF to, const QColor &color, int penWidth) {
    picDraw->drawLine(from, to, color, penWidth);
}

void ChatPanel::clearBoard() {
    picDraw->clear();
}
