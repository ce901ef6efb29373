#include "qt/png_image.h"

#include <QImageReader>

#include <stdexcept>

namespace plindor::qt {

QImage ReadPng(const QString& path) {
  QImageReader reader(path, "png");
  reader.setAutoDetectImageFormat(false);
  QImage image = reader.read();
  if (image.isNull()) {
    throw std::runtime_error("the program's picture " + path.toStdString() + " is damaged (" +
                             reader.errorString().toStdString() + "); rebuild the program");
  }
  return image;
}

}  // namespace plindor::qt
