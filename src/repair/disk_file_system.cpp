#include "repair/disk_file_system.h"

#include <csignal>
#include <optional>
#include <utility>
#include <vector>

#include "repair/deferred_termination.h"
#include "repair/disk_file.h"
#include "repair/repair_error.h"
#include "repair/safe_rewrite.h"

namespace plindor::repair {

// Holds requests to end the program back while any backup is waiting for its commit, so that
// none is left behind by a Ctrl-C.
class DiskFileSystem::PendingBackups final {
 public:
  void Add() {
    if (count_++ == 0) deferred_.emplace();
  }
  void Remove() {
    if (--count_ == 0) deferred_.reset();
  }

 private:
  std::size_t count_ = 0;
  std::optional<DeferredTermination> deferred_;
};

class DiskFileSystem::File final : public RepairFile {
 public:
  // Rewrites for real unless `previews` is given: then it only records what it would write.
  File(DiskFile file, std::string path, Previews* previews, PendingBackups& pending)
      : file_(std::move(file)), path_(std::move(path)), previews_(previews), pending_(pending) {
    if (Status status = file_.ReadAll(content_); !status.ok()) {
      FailOn("cannot read", path_, status.reason());
    }
    if (Status status = file_.Stamp(stamp_); !status.ok()) {
      FailOn("cannot read", path_, status.reason());
    }
    // Read to the end and compared, rather than trusting the length: another program may be
    // writing it right now.
    if (stamp_.size != content_.size()) {
      FailOn("cannot read", path_, "another program is changing it");
    }
    size_ = content_.size();
    recovery_ = RecoverBackup(file_, path_, content_, previews_ == nullptr);
    if (previews_ != nullptr) {
      if (const auto found = previews_->find(Id()); found != previews_->end()) {
        content_ = found->second;
      }
    } else if (!recovery_.empty()) {
      if (Status status = file_.Stamp(stamp_); !status.ok()) {
        FailOn("cannot read", path_, status.reason());
      }
    }
  }
  ~File() override {
    // Prepared but never committed: the file is untouched, and so its backup is not needed.
    if (has_backup_) {
      (void)file_.RemoveBackup();
      pending_.Remove();
    }
  }

  const std::string& Recovery() const override { return recovery_; }
  const std::string& Location() const override { return file_.location(); }
  std::uint64_t Size() const override { return size_; }
  const std::string& Read() override { return content_; }

  void Prepare(std::string_view text) override {
    after_ = text;
    if (previews_ != nullptr) {
      CheckUnchanged(file_, path_, stamp_);
      return;
    }
    rewrite_.emplace(file_, path_, stamp_, content_, after_);
    if (rewrite_->changed) pending_.Add();
    try {
      PrepareRewrite(*rewrite_);
    } catch (...) {
      if (rewrite_->changed) pending_.Remove();
      throw;
    }
    has_backup_ = rewrite_->changed;
  }

  const PreparedRewrite& Rewrite() const { return *rewrite_; }
  void Preview() { (*previews_)[Id()] = std::string(after_); }
  // The commit has dealt with the backup, whatever its outcome.
  void Committed() {
    if (has_backup_) pending_.Remove();
    has_backup_ = false;
  }

 private:
  std::pair<std::uint64_t, std::uint64_t> Id() const { return {stamp_.volume, stamp_.id}; }

  DiskFile file_;
  std::string path_;
  Previews* previews_;
  std::string content_;
  std::uint64_t size_ = 0;
  FileStamp stamp_;
  std::string recovery_;
  PendingBackups& pending_;
  std::string_view after_;
  std::optional<PreparedRewrite> rewrite_;
  bool has_backup_ = false;
};

DiskFileSystem::DiskFileSystem(Mode mode)
    : mode_(mode), pending_(std::make_unique<PendingBackups>()) {
#ifdef SIGXFSZ
  // A file-size limit must fail the write with EFBIG, not kill the program halfway.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

DiskFileSystem::~DiskFileSystem() = default;

std::unique_ptr<RepairFile> DiskFileSystem::OpenForRepair(const std::string& base,
                                                          const std::string& path, Wait wait) {
  std::optional<DiskFile> file = DiskFile::Open(base, path, wait == Wait::kYes);
  if (!file) return nullptr;
  return std::make_unique<File>(std::move(*file), path,
                                mode_ == Mode::kPreview ? &previews_ : nullptr, *pending_);
}

CommitResult DiskFileSystem::Commit(std::span<RepairFile* const> files) {
  // Every file here was opened by this service.
  std::vector<File*> ours;
  for (RepairFile* file : files) ours.push_back(static_cast<File*>(file));
  if (mode_ == Mode::kPreview) {
    for (File* file : ours) file->Preview();
    return {files.size(), {}};
  }
  std::vector<PreparedRewrite> rewrites;
  for (File* file : ours) rewrites.push_back(file->Rewrite());
  const CommitResult result = CommitRewrites(rewrites);
  // Whatever the outcome, the commit has dealt with every backup.
  for (File* file : ours) file->Committed();
  return result;
}

}  // namespace plindor::repair
