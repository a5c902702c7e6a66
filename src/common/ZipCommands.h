#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

// The dialogs the zip commands open, replaceable so that tests can choose or cancel.
struct ZipDialogs {
    std::function<QStringList(QWidget *owner, const QString &title, const QString &filter,
                              const QString &folder)>
        openFiles;
    std::function<QString(QWidget *owner, int openOrSave, const QString &title, const QString &filter,
                          const QString &folder, const QString &defaultExtension,
                          const QString &defaultFileName)>
        openOrSave;
    std::function<QString(QWidget *owner, const QString &title, const QString &startFolder)> folder;

    // The program's own file and folder dialogs (modCommonDialogs).
    static ZipDialogs standard();
};

// The main window's "压缩文件" and "解压文件" commands: the dialogs, the work with its progress window,
// and the status-line texts. A cancelled dialog ends the command without a status text.
class ZipCommands : public QObject {
    Q_OBJECT

public:
    using TipSetter = std::function<void(const QString &)>;

    ZipCommands(QWidget *window, TipSetter setTip, QObject *parent = nullptr);

    void setDialogs(const ZipDialogs &dialogs) { m_dialogs = dialogs; }
    // Where the dialogs start: the data folder start-up chose (the main window hands it down).
    void setProgramFolder(const QString &folder) { m_programFolder = folder; }

    void compressFiles();
    void extractArchive();
    // A command is running; another one does nothing meanwhile.
    bool isBusy() const { return m_busy; }

private:
    QString programFolder() const;

    QPointer<QWidget> m_window;
    TipSetter m_setTip;
    ZipDialogs m_dialogs;
    QString m_programFolder;
    bool m_busy = false;
};
