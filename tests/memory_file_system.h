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

// Files in memory, for the engine's tests and fuzz targets. Files are keyed by the path the
// repair opens: `path` alone when `base` is empty or `path` starts with '/', else
// "<base>/<path>". Records every operation in order ("open P", "read P", "rewrite P",
// "release P", with P as the repair gave it) and fails the ones a test names.
class MemoryFileSystem final : public repair::FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::vector<std::string> operations;
  std::set<std::string> fail_open;                // as a file that can't be written
  std::set<std::string> fail_rewrite;             // as a full disk
  std::map<std::string, std::string> recoveries;  // what opening the file reports

  static std::string Key(const std::string& base, const std::string& path) {
    if (base.empty() || path.starts_with('/')) return path;
    return base + "/" + path;
  }

  std::unique_ptr<repair::RepairFile> OpenForRepair(const std::string& base,
                                                    const std::string& path) override {
    operations.push_back("open " + path);
    const std::string key = Key(base, path);
    if (!files.contains(key)) {
      throw repair::RepairError("cannot open \"" + path +
                                "\" for reading: No such file or directory");
    }
    if (fail_open.contains(key)) {
      throw repair::RepairError("cannot open \"" + path + "\" for writing: Permission denied");
    }
    const auto recovery = recoveries.find(key);
    return std::make_unique<File>(*this, path, key,
                                  recovery == recoveries.end() ? "" : recovery->second);
  }

 private:
  class File final : public repair::RepairFile {
   public:
    File(MemoryFileSystem& owner, std::string path, std::string key, std::string recovery)
        : owner_(owner),
          path_(std::move(path)),
          key_(std::move(key)),
          recovery_(std::move(recovery)) {}
    ~File() override { owner_.operations.push_back("release " + path_); }

    const std::string& Recovery() const override { return recovery_; }
    const std::string& Location() const override { return key_; }
    const std::string& Read() override {
      owner_.operations.push_back("read " + path_);
      content_ = owner_.files.at(key_);
      return content_;
    }
    void Rewrite(std::string_view text) override {
      owner_.operations.push_back("rewrite " + path_);
      if (owner_.fail_rewrite.contains(key_)) {
        throw repair::RepairError("cannot write \"" + path_ + "\": No space left on device");
      }
      owner_.files[key_] = std::string(text);
    }

   private:
    MemoryFileSystem& owner_;
    std::string path_;
    std::string key_;
    std::string recovery_;
    std::string content_;
  };
};

class StringLog final : public repair::ProgressLog {
 public:
  std::string text;
  void Append(std::string_view line) override { text += line; }
};

}  // namespace plindor::testing
