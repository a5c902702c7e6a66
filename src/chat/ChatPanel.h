#pragma once

#include "Chat.h"
#include "Palette.h"
#include "Whiteboard.h"

#include <QObject>

#include <array>

class DrawingBoard;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The controls of the chat panel: transcript and message box on the right of the drawing area,
// palette and brush list on its left. The member list is the main window's and sits beside them. It is
// the view of the chat and of the whiteboard.
class ChatPanel : public QObject, public Chat::View, public Whiteboard::View {
    Q_OBJECT

public:
    explicit ChatPanel(QGroupBox *panel);

    QPlainTextEdit *txtDialog = nullptr;
    QLineEdit *txtMessage = nullptr;
    QPushButton *cmdSend = nullptr;
    QCheckBox *chkPrivate = nullptr;
    QPushButton *cmdClearDialog = nullptr;

    DrawingBoard *picDraw = nullptr;
    QComboBox *comBrush = nullptr;
    std::array<QFrame *, Palette::kSwatchCount> picSelColor{};
    QPushButton *cmdClearDraw = nullptr;

    // The message box and the transcript: what is typed, emptied with the focus kept for the next
    // message; lines added at the end and scrolled into view. `setLimits` caps what either holds.
    QString message() const override;
    void clearMessage() override;
    void appendToTranscript(const QString &lines) override;
    void clearTranscript() override;
    void setLimits(int messageLength, int transcriptLines);

    // The brush list: the chosen entry, its width in pixels (1 to 8) and how many there are. An index
    // outside the list leaves none chosen.
    int brushIndex() const override;
    void setBrushIndex(int index) override;
    int brushWidth() const override;
    int brushCount() const override;
    // Whether a message goes to the selected members only.
    bool privateChat() const override;
    void setPrivateChat(bool on);

    // Gives swatch `index` the single border and removes it from all others.
    void markSwatch(int index) override;
    // Index of the first swatch with the border.
    int markedSwatch() const override;

    void drawOnBoard(QPointF from, QPointF to, const QColor &color, int penWidth) override;
    void clearBoard() override;

signals:
    void swatchClicked(int index);
    void brushChanged(int index);
    // Return or Enter in the message box.
    void messageEntered();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
