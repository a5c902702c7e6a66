#include "FrmMain.h"
#include "SignalWatcher.h"
#include "SingleInstance.h"

#include "common/DataFolder.h"
#include "common/modCommon.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char *argv[]) {
    // First of all: a SIGTERM during the slow start-up waits for the window and ends it normally.
    SignalWatcher::catchSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavlo"));
    QApplication::setOrganizationName(QStringLiteral("Tavlo"));
    QApplication::setQuitOnLastWindowClosed(false); // the window may sit hidden in the tray

    // The interface is Chinese, so Qt's own dialogs (file choosers, message boxes) speak it too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    const QString dataFolder = DataFolder::path();
    SingleInstance instance(dataFolder);
    if (!instance.acquire())
        return 0;

    FrmMain window(modCommon::JoinPath(dataFolder, QString::fromLatin1(SettingsStore::kFileName)));
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, &FrmMain::bringToFront);
    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &window, &FrmMain::terminate);
    // Logging out or a system shutdown may end the event loop without closing the window first.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &FrmMain::commitData);
    QObject::connect(&app, &QApplication::aboutToQuit, &window, &FrmMain::close);

    window.Form_Load();
    window.show();
    return app.exec();
}
