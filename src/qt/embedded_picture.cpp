#include "qt/embedded_picture.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>

#include <cstring>
#include <stdexcept>
#include <string>

namespace plindor::qt {

namespace {

constexpr quint32 kMagic = 0x504c4931;  // "PLI1"

[[noreturn]] void Damaged(const QString& path, const char* what) {
  throw std::runtime_error("the program's picture " + path.toStdString() + " is damaged (" + what +
                           "); rebuild the program");
}

}  // namespace

QByteArray EncodePicture(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out << kMagic << static_cast<quint32>(argb.width()) << static_cast<quint32>(argb.height());
  for (int y = 0; y < argb.height(); ++y) {
    out.writeRawData(reinterpret_cast<const char*>(argb.constScanLine(y)), argb.width() * 4);
  }
  return bytes;
}

QImage ReadEmbeddedPicture(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) Damaged(path, "not embedded");
  const QByteArray bytes = file.readAll();
  QDataStream in(bytes);
  in.setByteOrder(QDataStream::LittleEndian);
  quint32 magic = 0;
  quint32 width = 0;
  quint32 height = 0;
  in >> magic >> width >> height;
  constexpr qsizetype kHeader = 12;
  if (magic != kMagic || width > 4096 || height > 4096 ||
      bytes.size() != kHeader + static_cast<qsizetype>(width) * height * 4) {
    Damaged(path, "bad header");
  }
  QImage image(static_cast<int>(width), static_cast<int>(height),
               QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < image.height(); ++y) {
    std::memcpy(image.scanLine(y), bytes.constData() + kHeader + qsizetype{y} * width * 4,
                static_cast<std::size_t>(width) * 4);
  }
  return image;
}

}  // namespace plindor::qt
