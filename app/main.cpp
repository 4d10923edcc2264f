// Vokra: lip-sync envelopes from recorded voices.
#include <QApplication>
#include <cstdio>

#include "app/icons.h"
#include "app/vokra_app.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vokra"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setDesktopFileName(QStringLiteral("vokra"));
    QApplication::setWindowIcon(vokra::ApplicationIcon());

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (arguments.contains(QStringLiteral("--version"))) {
        std::printf("Vokra 1.0\n");
        return 0;
    }
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        std::printf(
            "Usage: vokra [DOCUMENT.vok]\n"
            "Opens the document, or starts with a new one.\n"
            "The settings are kept in the file named by VOKRA_INI, else beside the program\n"
            "(vokra.INI), else in $XDG_CONFIG_HOME/vokra/vokra.INI.\n");
        return 0;
    }

    vokra::AppOptions options;
    options.programPath = QApplication::applicationFilePath().toStdString();
    vokra::CVokraApp vokraApp(options);
    if (!vokraApp.InitInstance(arguments)) return 1;
    return app.exec();
}
