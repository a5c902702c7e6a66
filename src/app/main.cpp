#include "FrmMain.h"
#include "SignalWatcher.h"
#include "SingleInstance.h"

#include "common/DataFolder.h"
#include "common/modCommon.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavlo"));
    QApplication::setOrganizationName(QStringLiteral("Tavlo"));
    // The desktop entry's name: Wayland and start-up notification match the window to the menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tavlo.Tavlo"));
    QApplication::setQuitOnLastWindowClosed(false); // the window may sit hidden in the tray

    // The interface is Chinese, so Qt's own dialogs (file choosers, message boxes) speak it too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    // The data folder is chosen here, once, and handed down.
    const DataFolder::Choice folder = DataFolder::choose(DataFolder::Inputs::current());
    const QString dataFolder = folder.path;
    QDir().mkpath(dataFolder);
    SingleInstance instance(dataFolder);
    if (!instance.acquire())
        return 0;
    // Earlier builds kept the user's files in the build folder, where cleaning the build deletes them.
    QString notMoved;
    const QStringList moved = folder.kind == DataFolder::Kind::PerUser
                                  ? DataFolder::migrate(folder.buildFolder, dataFolder, &notMoved)
                                  : QStringList();

    FrmMain window(modCommon::JoinPath(dataFolder, QString::fromLatin1(SettingsStore::kFileName)));
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, &FrmMain::bringToFront);
    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &window, &FrmMain::terminate);
    // Logging out or a system shutdown may end the event loop without closing the window first.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &FrmMain::SaveSettings);
    QObject::connect(&app, &QApplication::aboutToQuit, &window, &FrmMain::close);

    window.Form_Load();
    if (!moved.isEmpty() || !notMoved.isEmpty()) {
        QString tip;
        if (!moved.isEmpty())
            tip = QStringLiteral("已将 %1 从程序文件夹 %2 移到数据文件夹 %3。")
                      .arg(moved.join(QStringLiteral("、")), folder.buildFolder, dataFolder);
        if (!notMoved.isEmpty())
            tip += QStringLiteral("%1 未能从 %2 移到数据文件夹 %3，仍留在原处。")
                       .arg(notMoved, folder.buildFolder, dataFolder);
        window.setTip(tip);
        qInfo().noquote() << QStringLiteral("Tavlo: ") + tip;
    }
    window.show();
    return app.exec();
}
