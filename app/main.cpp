// Vokra: lip-sync envelopes from recorded voices.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/icons.h"
#include "app/vokra_app.h"
#include "platform/licence.h"

int main(int argc, char** argv) {
    // Answered before any window system is needed, so they work on a bare terminal too.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Vokra %s\n%s\n%s", VOKRA_VERSION, vokra::kCopyrightLine,
                        vokra::kLicenceLines);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: vokra [DOCUMENT.vok | SOUND]\n"
                "Opens the document, or starts with a new one; a sound file (WAV, AIFF, FLAC,\n"
                "Ogg, MP3 ...) is loaded into a new document, converted first if need be.\n"
                "Settings are kept in the file named by VOKRA_INI, else beside the program\n"
                "(vokra.INI) when it runs from a writable build or unpacked folder (never when\n"
                "installed or run by root), else in $XDG_CONFIG_HOME/vokra/vokra.INI\n"
                "(~/.config/vokra/vokra.INI).\n");
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vokra"));
    QApplication::setApplicationVersion(QStringLiteral(VOKRA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vokra"));
    QApplication::setWindowIcon(vokra::ApplicationIcon());

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    vokra::AppOptions options;
    options.programPath = QApplication::applicationFilePath().toStdString();
    vokra::CVokraApp vokraApp(options);
    if (!vokraApp.InitInstance(arguments)) return 1;
    return app.exec();
}
