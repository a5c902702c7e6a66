#pragma once

#include "common/modCommonDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class OfficeSlots;

// The status line's message half as a tool reaches it: a message, and the highlight colour of a
// progress bar drawn in it.
struct StatusLine {
    std::function<void(const QString &)> show;
    std::function<void(bool)> highlight;

    // Both on one label of the main window (LabTip(1)).
    static StatusLine onLabel(QLabel *label) {
        const QPointer<QLabel> target(label);
        StatusLine line;
        line.show = [target](const QString &text) {
            if (target)
                target->setText(text);
        };
        line.highlight = [target](bool on) {
            if (!target)
                return;
            QPalette palette = target->palette();
            const QPalette system = QApplication::palette();
            palette.setColor(QPalette::WindowText,
                             on ? system.color(QPalette::Highlight) : system.color(QPalette::ButtonText));
            target->setPalette(palette);
        };
        return line;
    }
};

// What the main window gives each tool: the window that owns its dialogs, the spreadsheet and
// word-processor slots, the data folder chosen at start-up, the status line and the file chooser.
struct ToolContext {
    // Shows the open dialog (owner, title, filter, folder, default extension); empty when the user chose
    // nothing.
    using ChooseFile = std::function<QString(QWidget *owner, const QString &title, const QString &filter,
                                             const QString &folder, const QString &defaultExtension)>;

    QWidget *window = nullptr; // the main window: owns the dialogs, comes back to the front
    OfficeSlots *office = nullptr;
    QString dataFolder; // where the file dialogs start
    StatusLine status;
    // The program's own open dialog unless a caller (a test) provides another.
    ChooseFile chooseFile;

    void tip(const QString &text) const {
        if (status.show)
            status.show(text);
    }
    void highlightTip(bool on) const {
        if (status.highlight)
            status.highlight(on);
    }
    QString openFile(const QString &title, const QString &filter, const QString &folder,
                     const QString &defaultExtension) const {
        if (chooseFile)
            return chooseFile(window, title, filter, folder, defaultExtension);
        return modCommonDialogs::OpenOrSaveDialog(window, 1, title, filter, folder, defaultExtension);
    }
    void bringWindowToFront() const {
        if (window) {
            window->raise();
            window->activateWindow();
        }
    }
};
