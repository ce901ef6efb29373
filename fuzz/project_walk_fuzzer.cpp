// The project walk over files in memory: whatever the project holds, the repair ends, reaches
// every form and user-control entry in file order, and stops at the first missing one.
//
// Input: one byte choosing a missing entry (none when it is 0, else the entry with that
// number, counted from 1), then the project text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "memory_file_system.h"  // tests/
#include "repair/repair_error.h"
#include "repair/repairer.h"
#include "repair/rules.h"

namespace plindor::fuzz {
namespace {

constexpr std::string_view kProject = "P.vbp";
constexpr std::string_view kOldForm = "Begin ComctlLib.ListView L\r\n";

bool StartsWithIgnoringCase(std::string_view line, std::string_view key) {
  if (line.size() < key.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const char c = line[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != key[i]) return false;
  }
  return true;
}

// The component paths the project lists, in order. Lines end at LF, with a CR before it taken
// as part of the line end; a lone CR stays in its line.
std::vector<std::string> Entries(std::string_view text) {
  std::vector<std::string> entries;
  if (text.empty()) return entries;
  std::size_t start = 0;
  while (true) {
    const std::size_t lf = text.find('\n', start);
    std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    if (lf != std::string_view::npos && end > start && text[end - 1] == '\r') --end;
    const std::string_view line = text.substr(start, end - start);
    if (StartsWithIgnoringCase(line, "form=")) {
      entries.emplace_back(line.substr(5));
    } else if (StartsWithIgnoringCase(line, "usercontrol=")) {
      entries.emplace_back(line.substr(12));
    }
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
  return entries;
}

}  // namespace
}  // namespace plindor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace fuzz = plindor::fuzz;
  namespace repair = plindor::repair;
  if (size == 0) return 0;
  const std::size_t missing = data[0];
  const std::string project(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string repaired_project = repair::ApplyRules(project, repair::kProjectRules);
  const std::vector<std::string> entries = fuzz::Entries(repaired_project);

  plindor::testing::MemoryFileSystem files;
  files.files[std::string(fuzz::kProject)] = project;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i + 1 != missing && entries[i] != fuzz::kProject) {
      files.files[entries[i]] = fuzz::kOldForm;
    }
  }
  // A path listed both before and as the missing entry exists after all.
  std::size_t stop = entries.size();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!files.files.contains(entries[i])) {
      stop = i;
      break;
    }
  }

  plindor::testing::StringLog log;
  repair::Repairer repairer(files, log);
  bool failed = false;
  try {
    repairer.FixProjectFile(std::string(fuzz::kProject));
  } catch (const repair::RepairError&) {
    failed = true;
  }
  if (failed != (stop < entries.size())) fuzz::Fail("the run failed where it should not, or not");

  std::string expected_log = "Fixing " + std::string(fuzz::kProject) + "\r\n";
  std::vector<std::string> expected_commits = {"commit " + std::string(fuzz::kProject)};
  for (std::size_t i = 0; i < entries.size() && i <= stop; ++i) {
    expected_log += "   fixing " + entries[i] + "\r\n";
    if (i < stop) expected_commits.push_back("commit " + entries[i]);
  }
  if (log.text != expected_log) fuzz::Fail("the log does not list the entries in order");
  std::vector<std::string> commits;
  for (const std::string& operation : files.operations) {
    if (operation.starts_with("commit ")) commits.push_back(operation);
  }
  if (commits != expected_commits) fuzz::Fail("the files were not rewritten in entry order");
  for (std::size_t i = 0; i < stop; ++i) {
    if (entries[i] != fuzz::kProject &&
        files.files[entries[i]] != "Begin MSComctlLib.ListView L\r\n") {
      fuzz::Fail("an entry was not repaired");
    }
  }
  return 0;
}
