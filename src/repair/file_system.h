#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace plindor::repair {

enum class IoMode { kForReading, kForWriting };

// An open file. Texts are 8-bit and byte-exact: nothing converts line ends or character sets.
// Destroying a stream that was not closed closes it and discards any failure, so Close() is
// where a caller learns about them.
class TextStream {
 public:
  virtual ~TextStream() = default;
  // The whole remaining content. Only on a stream opened for reading.
  virtual std::string ReadAll() = 0;
  // Appends `text` to what this stream has written; the file opened for writing starts empty.
  // Only on a stream opened for writing.
  virtual void Write(std::string_view text) = 0;
  virtual void Close() = 0;
};

// Whole-file access for the repair. Every failure is a RepairError naming the path as given.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens an existing file; neither mode creates one. Opening for writing empties the file as
  // far as the caller can tell.
  virtual std::unique_ptr<TextStream> OpenTextFile(const std::string& path, IoMode mode) = 0;
};

}  // namespace plindor::repair
