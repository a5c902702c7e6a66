#include "FrmMain.h"
#include "OfficeWindows.h"
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
    // First of all: a SIGTERM during the slow start-up waits for the window and ends it normally.
    SignalWatcher::catchSignals();
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

    // The embedded programs show their files in windows of their own.
    installOfficeWindows();

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
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &FrmMain::commitData);
    QObject::connect(&app, &QApplication::aboutToQuit, &window, &FrmMain::close);

    window.Form_Load();
    if (!moved.isEmpty() || !notMoved.isEmpty()) {
        // Short enough for the status line: the home folder written as "~".
        const auto shortPath = [](const QString &path) {
            const QString home = QDir::homePath();
            return path.startsWith(home + u'/') ? u'~' + path.mid(home.size()) : path;
        };
        QString tip;
        if (!moved.isEmpty())
            tip = QStringLiteral("已将构建文件夹中的 %1 移到 %2。")
                      .arg(moved.join(QStringLiteral("、")), shortPath(dataFolder));
        if (!notMoved.isEmpty())
            tip += QStringLiteral("%1 未能移到 %2，仍留在 %3。")
                       .arg(notMoved, shortPath(dataFolder), shortPath(folder.buildFolder));
        window.setTip(tip);
        qInfo().noquote() << QStringLiteral("Tavlo: %1（构建文件夹 %2）").arg(tip, folder.buildFolder);
    }
    window.show();
    return app.exec();
}
