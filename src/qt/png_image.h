#pragma once

#include <QImage>
#include <QString>

namespace plindor::qt {

// Reads a PNG picture embedded in the program with the toolkit's built-in decoder alone. Asked
// to guess a picture's format, the toolkit first loads every image-format plugin installed,
// which costs more at start-up than decoding all of the program's pictures. Throws
// std::runtime_error when the picture is missing or damaged, which only a broken build can cause.
QImage ReadPng(const QString& path);

}  // namespace plindor::qt
