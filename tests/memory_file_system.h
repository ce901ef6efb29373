#pragma once

#include <map>
#include <memory>
#include <set>
#include <span>
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
// "<base>/<path>". Records every operation in order ("open P", "read P", "prepare P",
// "commit P", "release P", with P as the repair gave it), holds a file from its opening to its
// release as a lock would, and fails the operations a test names.
class MemoryFileSystem final : public repair::FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::vector<std::string> operations;
  std::set<std::string> fail_open;                // as a file that can't be written
  std::set<std::string> fail_commit;              // as a full disk
  std::map<std::string, std::string> recoveries;  // what opening the file reports

  static std::string Key(const std::string& base, const std::string& path) {
    if (base.empty() || path.starts_with('/')) return path;
    return base + "/" + path;
  }

  std::unique_ptr<repair::RepairFile> OpenForRepair(const std::string& base,
                                                    const std::string& path, Wait wait) override {
    operations.push_back("open " + path);
    const std::string key = Key(base, path);
    if (!files.contains(key)) {
      throw repair::RepairError("cannot open \"" + path +
                                "\" for reading: No such file or directory");
    }
    if (fail_open.contains(key)) {
      throw repair::RepairError("cannot open \"" + path + "\" for writing: Permission denied");
    }
    if (held_.contains(key)) {
      if (wait == Wait::kNo) return nullptr;
      throw repair::RepairError("cannot open \"" + path + "\": it would wait for itself");
    }
    const auto recovery = recoveries.find(key);
    return std::make_unique<File>(*this, path, key,
                                  recovery == recoveries.end() ? "" : recovery->second);
  }

  repair::CommitResult Commit(std::span<repair::RepairFile* const> batch) override {
    repair::CommitResult result;
    for (repair::RepairFile* file : batch) {
      auto& ours = static_cast<File&>(*file);
      operations.push_back("commit " + ours.path_);
      if (fail_commit.contains(ours.key_)) {
        result.failure = "cannot write \"" + ours.path_ + "\": No space left on device";
        return result;
      }
      files[ours.key_] = std::string(ours.after_);
      ++result.rewritten;
    }
    return result;
  }

 private:
  class File final : public repair::RepairFile {
   public:
    File(MemoryFileSystem& owner, std::string path, std::string key, std::string recovery)
        : owner_(owner),
          path_(std::move(path)),
          key_(std::move(key)),
          recovery_(std::move(recovery)) {
      owner_.held_.insert(key_);
    }
    ~File() override {
      owner_.operations.push_back("release " + path_);
      owner_.held_.erase(key_);
    }

    const std::string& Recovery() const override { return recovery_; }
    const std::string& Location() const override { return key_; }
    std::uint64_t Size() const override { return owner_.files.at(key_).size(); }
    const std::string& Read() override {
      owner_.operations.push_back("read " + path_);
      content_ = owner_.files.at(key_);
      return content_;
    }
    void Prepare(std::string_view text) override {
      owner_.operations.push_back("prepare " + path_);
      after_ = text;
    }

   private:
    friend class MemoryFileSystem;
    MemoryFileSystem& owner_;
    std::string path_;
    std::string key_;
    std::string recovery_;
    std::string content_;
    std::string_view after_;
  };

  std::set<std::string> held_;
};

// Rewrites one open file through `files` with `text`, raising the failure as the repair does.
inline void Rewrite(repair::FileSystem& files, repair::RepairFile& file, std::string_view text) {
  file.Prepare(text);
  repair::RepairFile* const batch[] = {&file};
  const repair::CommitResult result = files.Commit(batch);
  if (!result.failure.empty()) throw repair::RepairError(result.failure);
}

class StringLog final : public repair::ProgressLog {
 public:
  std::string text;
  void Append(std::string_view line) override { text += line; }
};

}  // namespace plindor::testing
