// Renders the panel's icon into PNG files for the icon theme, at build time:
//   zrt-render-icons DIR ID   writes DIR/NxN/apps/ID.png for 48, 128 and 256.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "window/artwork.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zrt-render-icons DIR ID\n");
    return 2;
  }
  for (int size : {48, 128, 256}) {
    const QString folder = QString("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    const QString file = folder + "/" + QString::fromLocal8Bit(argv[2]) + ".png";
    if (!QDir().mkpath(folder) || !zrt::window::WindowIconImage(size).save(file, "PNG")) {
      std::fprintf(stderr, "zrt-render-icons: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
