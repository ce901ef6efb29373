#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace plindor::qt {

// The windows' pictures travel inside the program as their pixels, prepared at build time
// (plindor_embed_picture): showing one is then a copy. Any image reader, even for a format
// named in advance, first searches the image-format plugins, which costs more at start-up than
// the whole terms window's pictures.

// The pixels of `image` with their size and layout, as the build stores them.
QByteArray EncodePicture(const QImage& image);

// Reads a picture embedded in the program. Throws std::runtime_error when it is missing or
// damaged, which only a broken build can cause.
QImage ReadEmbeddedPicture(const QString& path);

}  // namespace plindor::qt
