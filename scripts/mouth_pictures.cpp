// Draws the nine mouths with the lip preview's own code into small PNGs for the manual:
// mouth-a.png .. mouth-h.png, mouth-x.png in the folder given (scripts/mouth_pictures.sh).
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <string>

#include "palettes/lip_picture.h"
#include "platform/qt/qimage_draw_context.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mouth_pictures FOLDER\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const std::string folder = argv[1];
    for (int i = 0; i < vokra::kMouthShapeCount; ++i) {
        const vokra::MouthShape shape = *vokra::MouthShapeFromIndex(i);
        QImage image(150, 104, QImage::Format_RGB32);
        {
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPixelSize(14);
            vokra::QImageDrawContext dc(image, font);
            vokra::DrawMouthPicture(dc, image.width(), image.height(), shape, -1.0, -1);
        }
        const char letter = static_cast<char>(vokra::MouthShapeLetter(shape) - 'A' + 'a');
        const std::string path = folder + "/mouth-" + letter + ".png";
        if (!image.save(QString::fromStdString(path), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
