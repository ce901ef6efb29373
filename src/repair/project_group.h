#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "repair/file_reader.h"

namespace plindor::repair {

// Whether `path` names a project group: a name ending in ".vbg", in any letter case.
bool IsProjectGroupName(std::string_view path);

// The files a batch has reached, by identity (the file's and its folder's), so that each is run
// once however it is named.
using ReachedFiles = std::set<std::array<std::uint64_t, 4>>;

// Adds `file` to `reached`; false when it was there already.
bool FirstReach(ReachedFiles& reached, const FoundFile& file);

// A project a group lists.
struct GroupMember {
  std::string listed;  // as the group writes it
  // Where it was found; with a failure, where it was looked for (as JoinedPath shows it).
  FoundFile file;
  std::string failure;  // why it can't be repaired, naming it; empty when it was found
};

struct ProjectGroup {
  FoundFile group;
  std::vector<GroupMember> members;  // in the order listed
};

// Reads the project group at `path` (absolute, or from the current directory) through `files`. Its
// "Project=" and "StartupProject=" lines (keys in any letter case) name its projects, each taken
// from the group's own folder and resolved as a project's components are; other lines are
// ignored. A member whose file `reached` holds already is left out, and the group and every
// other member found are added to it, so a project listed twice, or reached before, runs once.
// Throws RepairError when the group can't be read or lists no project.
ProjectGroup ReadProjectGroup(FileReader& files, const std::string& path, ReachedFiles& reached);

}  // namespace plindor::repair
