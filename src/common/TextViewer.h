#pragma once

#include <QWidget>

class QPlainTextEdit;

// A read-only window for a text file (the user guide when no program of the desktop can open it).
class TextViewer : public QWidget {
    Q_OBJECT

public:
    explicit TextViewer(QWidget *parent = nullptr);

    // Shows `path` (UTF-8 or GB18030) under its file name; false when the file cannot be read.
    bool showFile(const QString &path);
    QString text() const;

private:
    QPlainTextEdit *m_text = nullptr;
};
