// Writes the program's icon as PNG files, drawn by the same code as the window's icon:
//   render_program_icon OUT_DIR NAME SIZE...   gives OUT_DIR/SIZE/NAME.png for each size.
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "ui/program_icon.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: render_program_icon OUT_DIR NAME SIZE...\n");
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = QString(argv[i]).toInt();
        const QString folder = outDir + "/" + QString::number(size);
        if (size <= 0 || !QDir().mkpath(folder) ||
            !sonocap::ProgramIconPixmap(size).save(folder + "/" + name + ".png", "PNG")) {
            std::fprintf(stderr, "render_program_icon: cannot write the %s-pixel icon in %s\n",
                         argv[i], argv[1]);
            return 1;
        }
    }
    return 0;
}
