// tavlo-cadtext: extraction, replacement and script conversion of the texts of many drawings at once.

#include "CadTextCommand.h"

#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char *argv[]) {
    // Every argument is the command's own: Qt would take some for itself (-style, -platform, -reverse,
    // -session ...), so it is given none of them.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // Text widths are measured with the program's fonts; no display is needed for that.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};
    QGuiApplication application(qtArgc, qtArgv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return CadTextCommand::run(arguments, out, err);
}
