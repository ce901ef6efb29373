#include "repair/project_group.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "expect_repair_error.h"
#include "memory_file_system.h"

namespace plindor::repair {
namespace {

struct GroupCase {
  const char* name;
  const char* group;          // the text of G.vbg; none when null
  const char* reached_first;  // a file the batch reached before the group, if any
  // The members, one a line: where each was found, or "! <failure>"; else the group's failure.
  std::string result;
};

void PrintTo(const GroupCase& c, std::ostream* out) { *out << c.name; }

class GroupReading : public ::testing::TestWithParam<GroupCase> {};

TEST_P(GroupReading, ListsEachProjectOnceInOrderAndOnlyReads) {
  plindor::testing::MemoryFileSystem files;
  files.files = {{"App\\App.vbp", ""},
                 {"..\\Lib\\Lib.vbp", ""},
                 {"a.vbp", ""},
                 {"b.vbp", ""},
                 {"D\xe9TAIL.VBP", ""}};
  if (GetParam().group) files.files["G.vbg"] = GetParam().group;
  // Names that lead to a file under another: another spelling, a link to the group.
  files.same_file = {{".\\A.VBP", "a.vbp"}, {"Self.vbp", "G.vbg"}};
  ReachedFiles reached;
  if (GetParam().reached_first) FirstReach(reached, files.Find({}, GetParam().reached_first));

  std::string result;
  const std::string error = plindor::testing::RepairErrorOf([&] {
    for (const GroupMember& member : ReadProjectGroup(files, "G.vbg", reached).members) {
      result += (member.failure.empty() ? member.file.location : "! " + member.failure) + "\n";
    }
  });
  EXPECT_EQ(error.empty() ? result : error, GetParam().result);
  EXPECT_THAT(files.operations, ::testing::Each(::testing::Not(::testing::StartsWith("open "))));
}

constexpr char kNoProject[] =
    "cannot read \"G.vbg\" as a project group: it lists no project (no \"Project=\" or "
    "\"StartupProject=\" line)";

INSTANTIATE_TEST_SUITE_P(
    Groups, GroupReading,
    ::testing::Values(
        GroupCase{"AsSaved",
                  "VBGROUP 5.0\r\nStartupProject=App\\App.vbp\r\nProject=..\\Lib\\Lib.vbp\r\n",
                  nullptr, "App\\App.vbp\n..\\Lib\\Lib.vbp\n"},
        GroupCase{"LineFeedsKeysInAnyCase",
                  "project=b.vbp\nSTARTUPPROJECT=a.vbp\nProject=App\\App.vbp", nullptr,
                  "b.vbp\na.vbp\nApp\\App.vbp\n"},
        GroupCase{"OtherLinesIgnored",
                  "\r\n\r\nName=\"G\"\r\n Project=b.vbp\r\nProjects=b.vbp\r\nProject=\r\n"
                  "Project=a.vbp\r\n",
                  nullptr, "a.vbp\n"},
        GroupCase{"NamesAsTheGroupWritesThem", "Project=D\xe9TAIL.VBP\r\n", nullptr,
                  "D\xe9TAIL.VBP\n"},
        GroupCase{"SameFileOnceBySpelling",
                  "Project=a.vbp\r\nProject=.\\A.VBP\r\nProject=a.vbp\r\nProject=b.vbp\r\n",
                  nullptr, "a.vbp\nb.vbp\n"},
        GroupCase{"ReachedBeforeLeftOut", "Project=a.vbp\r\nProject=b.vbp\r\n", ".\\A.VBP",
                  "b.vbp\n"},
        GroupCase{"ReadBeforeListsNoMore", "Project=Gone.vbp\r\nProject=a.vbp\r\n", "G.vbg", ""},
        GroupCase{"ItselfLeftOut", "Project=Self.vbp\r\nProject=a.vbp\r\n", nullptr, "a.vbp\n"},
        GroupCase{"MissingProjectFailsInItsPlace", "Project=Gone\\Gone.vbp\r\nProject=a.vbp\r\n",
                  nullptr,
                  "! cannot open \"Gone\\Gone.vbp\" for reading: No such file or directory\n"
                  "a.vbp\n"},
        GroupCase{"GroupsListedFail", "Project=G.vbg\r\nProject=x.VBG\r\nProject=a.vbp\r\n",
                  nullptr,
                  "! cannot repair \"G.vbg\": it is a project group, and a group lists only "
                  "projects\n! cannot repair \"x.VBG\": it is a project group, and a group lists "
                  "only projects\na.vbp\n"},
        GroupCase{"Empty", "", nullptr, kNoProject},
        GroupCase{"NoProjectLine", "VBGROUP 5.0\r\nProject=\r\nStartupProject\r\n", nullptr,
                  kNoProject},
        GroupCase{"Missing", nullptr, nullptr,
                  "cannot open \"G.vbg\" for reading: No such file or directory"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(GroupReading, FarTooLargeFailsWithItsSize) {
  plindor::testing::MemoryFileSystem files;
  files.files = {{"G.vbg", std::string(1 << 20, '\n') + "Project=a.vbp\r\n"}, {"a.vbp", ""}};
  ReachedFiles reached;
  EXPECT_REPAIR_ERROR(ReadProjectGroup(files, "G.vbg", reached),
                      "cannot read \"G.vbg\" as a project group: it holds 1048591 bytes, and a "
                      "group lists its projects in far fewer (at most 1048576)");
}

}  // namespace
}  // namespace plindor::repair
