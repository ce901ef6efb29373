#include "repair/repairer.h"

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

#include "repair/ascii.h"
#include "repair/repair_error.h"

namespace plindor::repair {

namespace {

constexpr std::string_view kFormKey = "form=";
constexpr std::string_view kUserControlKey = "usercontrol=";

// Calls `visit` with each line of `text` without its line end. A line ends at LF, and a CR
// right before that LF belongs to the line end, so CR LF and LF-only projects read alike; a
// lone CR stays inside its line. A text ending in a line end has an empty last line, and the
// empty text has no lines.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  if (text.empty()) return;
  std::size_t start = 0;
  while (true) {
    const std::size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      visit(text.substr(start));
      return;
    }
    std::size_t end = lf;
    if (end > start && text[end - 1] == '\r') --end;
    visit(text.substr(start, end - start));
    start = lf + 1;
  }
}

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

std::string FolderOf(std::string_view path) {
#ifdef _WIN32
  constexpr std::string_view kSeparators = "/\\";
  // "C:name" is relative to the drive's current folder: its folder is "C:".
  const std::size_t drive = path.size() >= 2 && path[1] == ':' ? 2 : 0;
#else
  constexpr std::string_view kSeparators = "/";
  const std::size_t drive = 0;
#endif
  const std::size_t last = path.find_last_of(kSeparators);
  if (last == std::string_view::npos || last < drive) return std::string(path.substr(0, drive));
  // The root keeps its separator; elsewhere the folder ends before it.
  std::size_t end = last;
  while (end > drive && kSeparators.find(path[end - 1]) != std::string_view::npos) --end;
  return std::string(path.substr(0, end == drive ? last + 1 : end));
}

}  // namespace plindor::repair
