#include "repair/disk_file_system.h"

#include <csignal>
#include <utility>

#include "repair/disk_file.h"
#include "repair/repair_error.h"
#include "repair/safe_rewrite.h"

namespace plindor::repair {

namespace {

using Previews = std::map<std::pair<std::uint64_t, std::uint64_t>, std::string>;

class DiskRepairFile final : public RepairFile {
 public:
  // Rewrites for real unless `previews` is given: then it only records what it would write.
  DiskRepairFile(DiskFile file, std::string path, Previews* previews)
      : file_(std::move(file)), path_(std::move(path)), previews_(previews) {
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

  const std::string& Recovery() const override { return recovery_; }
  const std::string& Location() const override { return file_.location(); }
  const std::string& Read() override { return content_; }

  void Rewrite(std::string_view text) override {
    if (previews_ == nullptr) {
      SafeRewrite(file_, path_, stamp_, content_, text);
    } else {
      CheckUnchanged(file_, path_, stamp_);
      (*previews_)[Id()] = std::string(text);
    }
  }

 private:
  std::pair<std::uint64_t, std::uint64_t> Id() const { return {stamp_.volume, stamp_.id}; }

  DiskFile file_;
  std::string path_;
  Previews* previews_;
  std::string content_;
  FileStamp stamp_;
  std::string recovery_;
};

}  // namespace

DiskFileSystem::DiskFileSystem(Mode mode) : mode_(mode) {
#ifdef SIGXFSZ
  // A file-size limit must fail the write with EFBIG, not kill the program halfway.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

std::unique_ptr<RepairFile> DiskFileSystem::OpenForRepair(const std::string& base,
                                                          const std::string& path) {
  return std::make_unique<DiskRepairFile>(DiskFile::Open(base, path), path,
                                          mode_ == Mode::kPreview ? &previews_ : nullptr);
}

}  // namespace plindor::repair
