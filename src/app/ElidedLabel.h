#pragma once

#include <QLabel>

// A one-line label that shows a text too long for it cut short with "…", and the whole text as its
// tooltip. text() stays the whole text, however it was set.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // The text as it fits the label's width now.
    QString shownText() const;
    bool isElided() const { return shownText() != text(); }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
