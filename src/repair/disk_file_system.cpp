#include "repair/disk_file_system.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>
#include <utility>

#include "repair/ascii.h"
#include "repair/deferred_termination.h"
#include "repair/disk_file.h"
#include "repair/disk_reader.h"
#include "repair/repair_error.h"

namespace plindor::repair {

namespace {

// How long a run waits for another that holds the same file.
constexpr auto kLockPatience = std::chrono::seconds(60);

// Whether the last element of `path` names a backup this program makes. Windows ignores
// trailing dots and spaces, and letter case, in names.
bool IsBackupName(std::string_view path) {
  path = path.substr(path.find_last_of("/\\") + 1);
  while (!path.empty() && (path.back() == '.' || path.back() == ' ')) path.remove_suffix(1);
  constexpr std::string_view kSuffix = kBackupSuffix;
  return path.size() >= kSuffix.size() &&
         EqualsIgnoringAsciiCase(path.substr(path.size() - kSuffix.size()), kSuffix);
}

}  // namespace

class DiskFileSystem::File final : public RepairFile {
 public:
  File(DiskFileSystem& owner, DiskFile file, std::string path)
      : owner_(owner), file_(std::move(file)), path_(std::move(path)) {
    ReadWhole();
    const bool preview = owner_.mode_ == Mode::kPreview;
    // What putting the file back does is logged with the file's own line, at its commit.
    if (!preview) until_logged_.emplace();
    recovery_ = RecoverBackup(file_, path_, stamp_, content_, !preview);
    if (recovery_.empty()) until_logged_.reset();
    if (preview) {
      if (const auto found = owner_.previews_.find(Id()); found != owner_.previews_.end()) {
        content_ = found->second;
      }
    } else if (!recovery_.empty()) {
      // Read again: another program may have written as soon as the putting back let it.
      const std::string put_back = std::move(content_);
      ReadWhole();
      if (content_ != put_back) FailOn("cannot read", path_, "another program is changing it");
    }
  }
  ~File() override {
    std::erase_if(owner_.previewed_, [this](const auto& entry) { return entry.first == this; });
    owner_.batch_.Forget(file_);
  }

  const std::string& Recovery() const override { return recovery_; }
  const std::string& Location() const override { return file_.location(); }
  const std::string& Read() override { return content_; }

  void Prepare(std::string_view text) override {
    if (owner_.mode_ == Mode::kRepair) {
      owner_.batch_.Add(file_, path_, stamp_, content_, text);
      return;
    }
    if (Status change = ChangeSince(file_, stamp_); !change.ok()) {
      FailOn("cannot write", path_, change.reason());
    }
    owner_.previewed_.emplace_back(this, text);
  }

  FileId Id() const { return {stamp_.volume, stamp_.id}; }

 private:
  void ReadWhole() {
    if (!repair::ReadWhole(file_, path_, MemoryLimit(), stamp_, content_)) {
      FailOn("cannot read", path_, TooLarge(stamp_.size));
    }
  }

  DiskFileSystem& owner_;
  DiskFile file_;
  std::string path_;
  std::string content_;
  FileStamp stamp_;
  std::string recovery_;
  std::optional<DeferredTermination> until_logged_;
};

DiskFileSystem::DiskFileSystem(Mode mode) : mode_(mode) {}

DiskFileSystem::~DiskFileSystem() = default;

std::unique_ptr<RepairFile> DiskFileSystem::OpenForRepair(const std::string& base,
                                                          const std::string& path, Wait wait) {
  if (IsBackupName(path)) {
    FailOn("cannot repair", path,
           "this program keeps a file's old bytes under such a name while it rewrites the file, "
           "and never repairs it");
  }
  const auto give_up = std::chrono::steady_clock::now() + kLockPatience;
  std::optional<DiskFile> file;
  while (true) {
    Status status = DiskFile::Open(base, path, DiskFile::Access::kReadWrite, file);
    if (status.ok()) status = file->TryLock();
    if (status.ok()) break;
    file.reset();
    switch (status.kind()) {
      case Status::Kind::kHeld:
        if (wait == Wait::kNo) return nullptr;
        if (std::chrono::steady_clock::now() > give_up) {
          FailOn("cannot open", path, "for writing", "another program keeps it locked");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        continue;
      case Status::Kind::kReadOnly:
        FailOn("cannot write", path, status.reason());
      case Status::Kind::kDenied: {
        // Say whether it is the writing that is refused; a read-only file fails here.
        std::optional<DiskFile> reading;
        if (DiskFile::Open(base, path, DiskFile::Access::kRead, reading).ok()) {
          FailOn("cannot open", path, "for writing", status.reason());
        }
        break;
      }
      default:
        break;
    }
    FailOn("cannot open", path, "for reading", status.reason());
  }
  // A link may lead to a backup under another name.
  if (const std::string target = file->target_name(); IsBackupName(target)) {
    FailOn("cannot repair", path,
           "it leads to " + Quoted(target) +
               ", a backup this program keeps while it rewrites a file, and never repairs");
  }
  return std::make_unique<File>(*this, std::move(*file), path);
}

void DiskFileSystem::Commit(const CommitReport& report) {
  if (mode_ == Mode::kRepair) return batch_.Commit(report);
  const auto previewed = std::exchange(previewed_, {});
  for (std::size_t i = 0; i < previewed.size(); ++i) {
    previews_[previewed[i].first->Id()] = std::string(previewed[i].second);
    report(i, {});
  }
}

}  // namespace plindor::repair
