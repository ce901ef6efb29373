#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "repair/file_reader.h"
#include "repair/file_system.h"
#include "repair/path_text.h"
#include "repair/progress_log.h"
#include "repair/repair_error.h"

namespace plindor::testing {

// Files in memory, for the engine's tests and fuzz targets. Files are keyed by the path the
// repair opens: `path` alone when `base` is empty or `path` starts with '/', else
// "<base>/<path>". Records every operation in order ("open P", "read P", "prepare P",
// "commit P", "release P"; "find P" and "read-only P" for reading alone), holds a file from its
// opening to its release as a lock would, and fails the operations a test names.
class MemoryFileSystem final : public repair::FileSystem, public repair::FileReader {
 public:
  std::map<std::string, std::string> files;
  std::map<std::string, std::string> same_file;  // another name for a file: its key, for reading
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

  repair::FoundFile Find(const std::string& base, const std::string& path) override {
    operations.push_back("find " + path);
    return Found(base, path).first;
  }

  repair::FoundFile Read(const std::string& base, const std::string& path, std::uint64_t max_size,
                         std::string& content) override {
    operations.push_back("read-only " + path);
    const auto [found, text] = Found(base, path);
    if (found.size <= max_size) content = text;
    return found;
  }

  void Commit(const repair::CommitReport& report) override {
    const std::vector<File*> batch = std::exchange(prepared_, {});
    for (std::size_t i = 0; i < batch.size(); ++i) {
      operations.push_back("commit " + batch[i]->path_);
      if (fail_commit.contains(batch[i]->key_)) {
        const std::string failure =
            "cannot write \"" + batch[i]->path_ + "\": No space left on device";
        report(i, failure);
        throw repair::RepairError(failure);
      }
      files[batch[i]->key_] = std::string(batch[i]->after_);
      report(i, {});
    }
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
      std::erase(owner_.prepared_, this);
    }

    const std::string& Recovery() const override { return recovery_; }
    const std::string& Location() const override { return key_; }
    const std::string& Read() override {
      owner_.operations.push_back("read " + path_);
      content_ = owner_.files.at(key_);
      return content_;
    }
    void Prepare(std::string_view text) override {
      owner_.operations.push_back("prepare " + path_);
      after_ = text;
      owner_.prepared_.push_back(this);
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

  // The file and its content. Files are told apart by their keys.
  std::pair<repair::FoundFile, const std::string&> Found(const std::string& base,
                                                         const std::string& path) const {
    const std::string key = Key(base, path);
    const std::string& stored = same_file.contains(key) ? same_file.at(key) : key;
    const auto file = files.find(stored);
    if (file == files.end()) {
      throw repair::RepairError("cannot open \"" + repair::JoinedPath(base, path) +
                                "\" for reading: No such file or directory");
    }
    return {{key, 0, std::hash<std::string>{}(stored), file->second.size(), 0, 0}, file->second};
  }

  std::set<std::string> held_;
  std::vector<File*> prepared_;  // in order, since the last commit
};

// Commits what `files` has prepared, telling no one; a failure is raised as the repair raises it.
inline void CommitUnheard(repair::FileSystem& files) {
  files.Commit([](std::size_t, std::string_view) {});
}

// Rewrites one open file through `files` with `text`, raising the failure as the repair does.
inline void Rewrite(repair::FileSystem& files, repair::RepairFile& file, std::string_view text) {
  file.Prepare(text);
  CommitUnheard(files);
}

class StringLog final : public repair::ProgressLog {
 public:
  std::string text;
  void Append(std::string_view line) override { text += line; }
};

}  // namespace plindor::testing
