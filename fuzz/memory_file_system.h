#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "repair/file_system.h"
#include "repair/progress_log.h"
#include "repair/repair_error.h"

namespace plindor::fuzz {

// Files in memory, and the order in which they were opened ("r path" or "w path").
class MemoryFileSystem final : public repair::FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::vector<std::string> opened;

  std::unique_ptr<repair::TextStream> OpenTextFile(const std::string& path,
                                                   repair::IoMode mode) override {
    const bool reading = mode == repair::IoMode::kForReading;
    opened.push_back((reading ? "r " : "w ") + path);
    const auto file = files.find(path);
    if (file == files.end()) {
      throw repair::RepairError("cannot open \"" + path + "\": No such file or directory");
    }
    return std::make_unique<Stream>(file->second, reading);
  }

 private:
  class Stream final : public repair::TextStream {
   public:
    Stream(std::string& file, bool reading) : file_(file), reading_(reading) {
      if (!reading_) file_.clear();
    }
    std::string ReadAll() override {
      if (!reading_) throw repair::RepairError("not open for reading");
      return file_;
    }
    void Write(std::string_view text) override {
      if (reading_) throw repair::RepairError("not open for writing");
      file_ += text;
    }
    void Close() override {}

   private:
    std::string& file_;
    bool reading_;
  };
};

class MemoryLog final : public repair::ProgressLog {
 public:
  std::string text;
  void Append(std::string_view line) override { text += line; }
};

}  // namespace plindor::fuzz
