#include "repair/repairer.h"

#include <cstddef>
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

std::string Repairer::Fix(std::string_view heading, const std::string& base,
                          const std::string& path, FileRole role, std::span<const Rule> table) {
  log_.Append(std::string(heading) + path + "\r\n");
  std::vector<std::size_t> counts(table.size());
  std::string_view before;
  try {
    const std::unique_ptr<RepairFile> file = files_.OpenForRepair(base, path);
    if (!file->Recovery().empty()) log_.Append("   " + file->Recovery() + "\r\n");
    before = file->Read();
    std::string after = ApplyRules(before, table, counts);
    file->Rewrite(after);
    if (observer_) {
      const FileOutcome outcome = after == before ? FileOutcome::kUnchanged : FileOutcome::kChanged;
      observer_->OnFile({path, file->Location(), role, table, counts, before, after, outcome, {}});
    }
    return after;
  } catch (const RepairError& error) {
    // `before` may already be gone with the file; a failed file reports no content.
    if (observer_) {
      observer_->OnFile({path, {}, role, table, {}, {}, {}, FileOutcome::kFailed, error.what()});
    }
    throw;
  }
}

void Repairer::FixComponentFile(const std::string& path) {
  Fix("   fixing ", base_folder_, path, FileRole::kComponent, kComponentRules);
}

void Repairer::FixProjectFile(const std::string& path) {
  const std::string text = Fix("Fixing ", {}, path, FileRole::kProject, kProjectRules);
  ForEachLine(text, [this](std::string_view line) {
    if (StartsWithIgnoringAsciiCase(line, kFormKey)) {
      FixComponentFile(std::string(line.substr(kFormKey.size())));
    } else if (StartsWithIgnoringAsciiCase(line, kUserControlKey)) {
      FixComponentFile(std::string(line.substr(kUserControlKey.size())));
    }
  });
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
