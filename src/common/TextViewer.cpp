#include "TextViewer.h"

#include "platform/text/TextCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {
constexpr qint64 kMaxBytes = 16 * 1024 * 1024; // a text file, not a disk image
}

TextViewer::TextViewer(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_text(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("textViewer"));
    m_text->setReadOnly(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    resize(640, 520);
}

bool TextViewer::showFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxBytes)
        return false;
    m_text->setPlainText(tavlo::text::decodeFileText(file.read(kMaxBytes)));
    setWindowTitle(QFileInfo(path).fileName());
    show();
    raise();
    activateWindow();
    return true;
}

QString TextViewer::text() const {
    return m_text->toPlainText();
}
