#include "ElidedLabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

ElidedLabel::ElidedLabel(QWidget *parent)
    : QLabel(parent) {}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

bool ElidedLabel::event(QEvent *event) {
    // The tooltip follows the text whenever it is asked for, whoever set the text.
    if (event->type() == QEvent::ToolTip)
        setToolTip(isElided() ? text() : QString());
    return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent *) {
    const QString shown = shownText();
    setToolTip(shown != text() ? text() : QString());
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}
