// Renders the panel's icon, at build time:
//   zrt-render-icons DIR ID       writes DIR/NxN/apps/ID.png for 48, 128 and 256,
//                                 for the icon theme;
//   zrt-render-icons --ico FILE   writes a Windows icon file with 16 to 256
//                                 pixels, for the Windows build's program.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cstdio>

#include "window/form/artwork.h"

namespace {

QByteArray Png(int size) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  zrt::window::WindowIconImage(size).save(&buffer, "PNG");
  return png;
}

template <typename Integer>
void Put(QByteArray& out, Integer value) {
  const Integer little = qToLittleEndian(value);
  out.append(reinterpret_cast<const char*>(&little), sizeof little);
}

// An icon file whose images are PNG streams, as Windows has read them since Vista.
QByteArray IconFile(const QList<int>& sizes) {
  QByteArray header, images;
  Put<quint16>(header, 0);  // reserved
  Put<quint16>(header, 1);  // an icon
  Put<quint16>(header, static_cast<quint16>(sizes.size()));
  const quint32 firstImage = 6 + 16 * static_cast<quint32>(sizes.size());
  for (int size : sizes) {
    const QByteArray png = Png(size);
    header.append(static_cast<char>(size == 256 ? 0 : size));  // width; 0 stands for 256
    header.append(static_cast<char>(size == 256 ? 0 : size));  // height
    header.append('\0');                                       // no palette
    header.append('\0');                                       // reserved
    Put<quint16>(header, 1);                                   // colour planes
    Put<quint16>(header, 32);                                  // bits per pixel
    Put<quint32>(header, static_cast<quint32>(png.size()));
    Put<quint32>(header, firstImage + static_cast<quint32>(images.size()));
    images.append(png);
  }
  return header + images;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && QByteArray(argv[1]) == "--ico") {
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::WriteOnly) || file.write(IconFile({16, 32, 48, 256})) < 0) {
      std::fprintf(stderr, "zrt-render-icons: cannot write %s\n", argv[2]);
      return 1;
    }
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: zrt-render-icons DIR ID | zrt-render-icons --ico FILE\n");
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
