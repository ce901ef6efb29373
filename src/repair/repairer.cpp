#include "repair/repairer.h"

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

#include "repair/ascii.h"
#include "repair/lines.h"
#include "repair/repair_error.h"

namespace plindor::repair {

namespace {

constexpr std::string_view kFormKey = "form=";
constexpr std::string_view kUserControlKey = "usercontrol=";

}  // namespace

// Above either bound a batch is committed before the next file is prepared.
constexpr std::size_t kBatchFiles = 128;
constexpr std::uint64_t kBatchBytes = std::uint64_t{32} << 20;

struct Repairer::Staged {
  std::string line;  // the file's log line
  std::string path;
  FileRole role;
  std::span<const Rule> table;
  std::unique_ptr<RepairFile> file;
  std::vector<std::size_t> counts;
  std::string_view before;  // the file's content, as long as the file is held
  std::string after;
};

Repairer::Repairer(FileSystem& files, ProgressLog& log, std::string base_folder,
                   RepairObserver* observer)
    : files_(files), log_(log), base_folder_(std::move(base_folder)), observer_(observer) {}

// Staged files still held here (only when something other than a RepairError ended the
// repair) are released untouched.
Repairer::~Repairer() = default;

void Repairer::Report(const Staged& staged, FileOutcome outcome, std::string_view error) {
  log_.Append(staged.line);
  if (staged.file && !staged.file->Recovery().empty()) {
    log_.Append("   " + staged.file->Recovery() + "\r\n");
  }
  if (!observer_) return;
  if (outcome == FileOutcome::kFailed) {
    observer_->OnFile({staged.path, {}, staged.role, staged.table, {}, {}, {}, outcome, error});
  } else {
    observer_->OnFile({staged.path,
                       staged.file->Location(),
                       staged.role,
                       staged.table,
                       staged.counts,
                       staged.before,
                       staged.after,
                       outcome,
                       {}});
  }
}

void Repairer::FailAt(Staged& staged, const std::string& error) {
  Commit();
  Report(staged, FileOutcome::kFailed, error);
  throw RepairError(error);
}

const std::string& Repairer::Stage(std::string_view heading, const std::string& base,
                                   const std::string& path, FileRole role,
                                   std::span<const Rule> table) {
  auto staged = std::make_unique<Staged>();
  staged->line = std::string(heading) + path + "\r\n";
  staged->path = path;
  staged->role = role;
  staged->table = table;
  if (staged_.size() >= kBatchFiles) Commit();
  try {
    staged->file = files_.OpenForRepair(base, path, FileSystem::Wait::kNo);
  } catch (const RepairError& error) {
    FailAt(*staged, error.what());
  }
  if (!staged->file) {
    // Held by another run, or by this one through a staged file (a file listed twice): the
    // batch lets go of its files before this one waits.
    Commit();
    try {
      staged->file = files_.OpenForRepair(base, path, FileSystem::Wait::kYes);
    } catch (const RepairError& error) {
      FailAt(*staged, error.what());
    }
  }
  staged->before = staged->file->Read();
  // Its text before and after the repair.
  const std::uint64_t bytes = 2 * staged->before.size();
  if (!staged_.empty() && staged_bytes_ + bytes > kBatchBytes) Commit();
  try {
    staged->counts.resize(table.size());
    try {
      staged->after = ApplyRules(staged->before, table, staged->counts);
    } catch (const std::bad_alloc&) {
      FailOn("cannot repair", path, TooLarge(staged->before.size()));
    }
    staged->file->Prepare(staged->after);
  } catch (const RepairError& error) {
    FailAt(*staged, error.what());
  }
  staged_bytes_ += bytes;
  staged_.push_back(std::move(staged));
  return staged_.back()->after;
}

void Repairer::Commit() {
  if (staged_.empty()) return;
  std::vector<std::unique_ptr<Staged>> batch = std::move(staged_);
  staged_.clear();
  staged_bytes_ = 0;
  // Files are prepared, and so committed, in the order staged.
  files_.Commit([&](std::size_t i, std::string_view failure) {
    const Staged& staged = *batch[i];
    if (!failure.empty()) {
      Report(staged, FileOutcome::kFailed, failure);
    } else {
      Report(staged,
             staged.after == staged.before ? FileOutcome::kUnchanged : FileOutcome::kChanged, {});
    }
  });
}

void Repairer::FixComponentFile(const std::string& path) {
  Stage("   fixing ", base_folder_, path, FileRole::kComponent, kComponentRules);
  Commit();
}

void Repairer::FixProjectFile(const std::string& path) {
  // Copied: the project's batch may be committed and let go while its entries are walked.
  const std::string text = Stage("Fixing ", {}, path, FileRole::kProject, kProjectRules);
  ForEachLine(text, [this](std::string_view line) {
    if (StartsWithIgnoringAsciiCase(line, kFormKey)) {
      Stage("   fixing ", base_folder_, std::string(line.substr(kFormKey.size())),
            FileRole::kComponent, kComponentRules);
    } else if (StartsWithIgnoringAsciiCase(line, kUserControlKey)) {
      Stage("   fixing ", base_folder_, std::string(line.substr(kUserControlKey.size())),
            FileRole::kComponent, kComponentRules);
    }
  });
  Commit();
}

}  // namespace plindor::repair
