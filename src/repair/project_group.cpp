#include "repair/project_group.h"

#include <array>
#include <utility>

#include "repair/ascii.h"
#include "repair/lines.h"
#include "repair/path_text.h"
#include "repair/repair_error.h"

namespace plindor::repair {

namespace {

constexpr std::array<std::string_view, 2> kProjectKeys = {"project=", "startupproject="};

// Groups list a few projects in a few hundred bytes; reading one far larger would only fill
// memory with what can't be a group's list.
constexpr std::uint64_t kMaxGroupSize = std::uint64_t{1} << 20;

constexpr std::string_view kGroupExtension = ".vbg";

// The project the line names, or "" when it names none.
std::string_view ProjectOf(std::string_view line) {
  for (const std::string_view key : kProjectKeys) {
    if (StartsWithIgnoringAsciiCase(line, key)) return line.substr(key.size());
  }
  return {};
}

GroupMember Member(FileReader& files, const std::string& folder, std::string listed) {
  GroupMember member{std::move(listed), {}, {}};
  member.file.location = JoinedPath(folder, member.listed);
  if (IsProjectGroupName(member.listed)) {
    member.failure = Describe("cannot repair", member.file.location, {},
                              "it is a project group, and a group lists only projects");
    return member;
  }
  try {
    member.file = files.Find(folder, member.listed);
  } catch (const RepairError& error) {
    member.failure = error.what();
  }
  return member;
}

}  // namespace

bool IsProjectGroupName(std::string_view path) {
  return path.size() >= kGroupExtension.size() &&
         EqualsIgnoringAsciiCase(path.substr(path.size() - kGroupExtension.size()),
                                 kGroupExtension);
}

bool FirstReach(ReachedFiles& reached, const FoundFile& file) {
  return reached.insert({file.volume, file.id, file.folder_volume, file.folder_id}).second;
}

ProjectGroup ReadProjectGroup(FileReader& files, const std::string& path, ReachedFiles& reached) {
  ProjectGroup group;
  std::string text;
  group.group = files.Read({}, path, kMaxGroupSize, text);
  if (group.group.size > kMaxGroupSize) {
    FailOn("cannot read", path, "as a project group",
           "it holds " + std::to_string(group.group.size) + " bytes, and a group lists its " +
               "projects in far fewer (at most " + std::to_string(kMaxGroupSize) + ")");
  }
  const bool read_before = !FirstReach(reached, group.group);
  const std::string folder = FolderOf(group.group.location);
  bool lists_any = false;
  ForEachLine(text, [&](std::string_view line) {
    const std::string_view project = ProjectOf(line);
    if (project.empty()) return;
    lists_any = true;
    if (read_before) return;
    GroupMember member = Member(files, folder, std::string(project));
    if (member.failure.empty() && !FirstReach(reached, member.file)) return;
    group.members.push_back(std::move(member));
  });
  if (!lists_any) {
    FailOn("cannot read", path, "as a project group",
           "it lists no project (no \"Project=\" or \"StartupProject=\" line)");
  }
  return group;
}

}  // namespace plindor::repair
