#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "repair/file_system.h"
#include "repair/progress_log.h"
#include "repair/repair_error.h"

namespace plindor::testing {

// Files in memory. Records every operation in order ("open-read P", "read P", "close P",
// "open-write P", "write P", "close P") and fails the operations a test names.
class FakeFileSystem final : public repair::FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::vector<std::string> operations;
  std::set<std::string> fail_open_for_writing;
  std::set<std::string> fail_write;

  std::unique_ptr<repair::TextStream> OpenTextFile(const std::string& path,
                                                   repair::IoMode mode) override {
    const bool reading = mode == repair::IoMode::kForReading;
    operations.push_back((reading ? "open-read " : "open-write ") + path);
    if (!files.contains(path)) {
      throw repair::RepairError("cannot open \"" + path + "\": No such file or directory");
    }
    if (!reading && fail_open_for_writing.contains(path)) {
      throw repair::RepairError("cannot open \"" + path + "\" for writing: Permission denied");
    }
    return std::make_unique<Stream>(*this, path, reading);
  }

 private:
  class Stream final : public repair::TextStream {
   public:
    Stream(FakeFileSystem& owner, std::string path, bool reading)
        : owner_(owner), path_(std::move(path)), reading_(reading) {}

    std::string ReadAll() override {
      owner_.operations.push_back("read " + path_);
      if (!reading_) throw repair::RepairError("not open for reading");
      return owner_.files.at(path_);
    }
    void Write(std::string_view text) override {
      owner_.operations.push_back("write " + path_);
      if (reading_) throw repair::RepairError("not open for writing");
      if (owner_.fail_write.contains(path_)) {
        throw repair::RepairError("cannot write \"" + path_ + "\": No space left on device");
      }
      written_ += text;
    }
    void Close() override {
      owner_.operations.push_back("close " + path_);
      if (!reading_) owner_.files[path_] = written_;
    }

   private:
    FakeFileSystem& owner_;
    std::string path_;
    bool reading_;
    std::string written_;
  };
};

class StringLog final : public repair::ProgressLog {
 public:
  std::string text;
  void Append(std::string_view line) override { text += line; }
};

}  // namespace plindor::testing
