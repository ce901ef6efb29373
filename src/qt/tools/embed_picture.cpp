// Build tool: prepares a picture for embedding in the program, so that showing it at start-up
// costs as little as possible. An SVG drawing is drawn at its own size on a transparent
// background; a PNG picture is read. Either is written as its pixels (see embedded_picture.h),
// which the program copies out at start-up (some 150 KiB in all).
//   plindor_embed_picture INPUT.svg|INPUT.png OUTPUT

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

#include "qt/embedded_picture.h"

namespace {

QImage Draw(const QString& svg) {
  QSvgRenderer renderer(svg);
  if (!renderer.isValid()) return QImage();
  // The format of a pixmap the program would draw into, so that the pixels are the same.
  QImage picture(renderer.defaultSize(), QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  renderer.render(&painter);
  return picture;
}

}  // namespace

int main(int argc, char* argv[]) {
  // No display is needed to draw into memory, and a build may have none.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // A drawing's text needs the font database, which needs the application object.
  const QGuiApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s INPUT.svg|INPUT.png OUTPUT\n", argv[0]);
    return 2;
  }
  const QString input = QString::fromLocal8Bit(argv[1]);
  const QImage picture =
      input.endsWith(QStringLiteral(".svg")) ? Draw(input) : QImageReader(input, "png").read();
  if (picture.isNull()) {
    std::fprintf(stderr, "%s: cannot read the picture %s\n", argv[0], argv[1]);
    return 1;
  }
  QFile output(QString::fromLocal8Bit(argv[2]));
  const QByteArray bytes = plindor::qt::EncodePicture(picture);
  if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      output.write(bytes) != bytes.size() || !output.flush()) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[2],
                 qPrintable(output.errorString()));
    return 1;
  }
  return 0;
}
