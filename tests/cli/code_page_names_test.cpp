// Component names a project gives in a Windows code page, through the built plindor-cli, on
// trees named the way a checkout made on Windows names them: in UTF-8.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "run_program.h"
#include "temp_dir.h"

namespace plindor::cli {
namespace {

namespace fs = std::filesystem;
using plindor::testing::ReadFile;
using plindor::testing::TempDir;
using plindor::testing::WriteFile;

// The references the repair replaces and what it writes instead, written out by hand.
constexpr char kOldObject[] =
    "Object = \"{6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0\"; \"MSCOMCTL.OCX\"\r\n";
constexpr char kNewObject[] =
    "Object = \"{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0\"; \"MSCOMCTL.OCX\"\r\n";
constexpr char kOldProjectObject[] =
    "Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX\r\n";
constexpr char kNewProjectObject[] =
    "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\r\n";

// A form whose caption is in the project's code page: the repair must leave those bytes alone.
std::string Form(const std::string& caption, bool repaired) {
  return std::string("VERSION 5.00\r\n") + (repaired ? kNewObject : kOldObject) +
         "Begin VB.Form Main\r\n   Caption = \"" + caption + "\"\r\n" +
         (repaired ? "   Begin MSComctlLib.ListView List1\r\n"
                   : "   Begin ComctlLib.ListView List1\r\n") +
         "   End\r\nEnd\r\n";
}

std::string Project(const std::string& forms, bool repaired) {
  return std::string("Type=Exe\r\n") + (repaired ? kNewProjectObject : kOldProjectObject) + forms +
         "Name=\"Sample\"\r\n";
}

using Tree = std::map<std::string, std::string>;  // path under the root (bytes) -> content

struct NameCase {
  const char* name;
  std::vector<std::string> options;
  Tree before;  // App.vbp and what lies beside it
  int exit_status;
  std::string out;  // "{root}" stands for the tree's absolute path
  Tree after;
};

void PrintTo(const NameCase& row, std::ostream* out) { *out << row.name; }

// A project of a French banking application: names with é and ô as single Windows-1252 bytes,
// captions in Windows-1252 too, the forms named in UTF-8 on disk.
const std::string kFrenchForms =
    "Form=Accueil.frm\r\nForm=GuichetD\xe9tail.frm\r\nForm=LrAttributD\xe9tail.frm\r\n"
    "Form=Cl\xf4ture.frm\r\nForm=R\xe9glages.frm\r\nForm=Zone.frm\r\n";
const std::vector<std::string> kFrenchFiles = {"Accueil.frm",          "GuichetDétail.frm",
                                               "LrAttributDétail.frm", "Clôture.frm",
                                               "Réglages.frm",         "Zone.frm"};

Tree FrenchProject(bool repaired) {
  Tree tree{{"App.vbp", Project(kFrenchForms, repaired)}};
  for (const std::string& file : kFrenchFiles) tree[file] = Form("D\xe9tail", repaired);
  return tree;
}

// A Japanese project: Shift-JIS names, one in a folder, where the second byte of 表 is 0x5C,
// the backslash; a caption in Shift-JIS with the same byte.
const std::string kJapaneseForms =
    "Form=\x89\xe6\x96\xca\\\x95\x5c\x8e\xa6.frm\r\nForm=\x83\x81\x83\x43\x83\x93.frm\r\n";

Tree JapaneseProject(bool repaired) {
  return {{"App.vbp", Project(kJapaneseForms, repaired)},
          {"画面/表示.frm", Form("\x95\x5c\x8e\xa6", repaired)},
          {"メイン.frm", Form("\x83\x81\x83\x43\x83\x93", repaired)}};
}

class CodePageNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(CodePageNames, ResolveAsWindowsResolvesThem) {
  const NameCase& row = GetParam();
  const TempDir root;
  for (const auto& [path, bytes] : row.before) WriteFile(root.path() / path, bytes);

  std::vector<std::string> args = row.options;
  args.push_back("App.vbp");
  const plindor::testing::ProgramResult result =
      plindor::testing::RunProgram(PLINDOR_CLI_BINARY, args, root.path());

  EXPECT_EQ(result.exit_status, row.exit_status) << result.err;
  std::string out = row.out;
  for (std::size_t at; (at = out.find("{root}")) != std::string::npos;) {
    out.replace(at, 6, root.path().string());
  }
  EXPECT_EQ(result.out, out);
  Tree after;
  for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
    if (entry.is_regular_file()) {
      after[entry.path().lexically_relative(root.path()).string()] = ReadFile(entry.path());
    }
  }
  EXPECT_EQ(after, row.after);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CodePageNames,
    ::testing::Values(
        NameCase{"Windows1252",
                 {},
                 FrenchProject(false),
                 0,
                 "Fixing {root}/App.vbp\n   fixing Accueil.frm\n"
                 "   fixing GuichetD\xe9tail.frm\n   fixing LrAttributD\xe9tail.frm\n"
                 "   fixing Cl\xf4ture.frm\n   fixing R\xe9glages.frm\n   fixing Zone.frm\n"
                 "Fixup completed.\n",
                 FrenchProject(true)},
        NameCase{"ShiftJisWithCodePage932",
                 {"--codepage", "932"},
                 JapaneseProject(false),
                 0,
                 // Bytes 0x80 to 0x9F are escaped like every other control character.
                 "Fixing {root}/App.vbp\n   fixing \\x89\xe6\\x96\xca\\\\x95\\\\x8e\xa6.frm\n"
                 "   fixing \\x83\\x81\\x83C\\x83\\x93.frm\nFixup completed.\n",
                 JapaneseProject(true)},
        NameCase{"ValidInNeither",
                 {},
                 {{"App.vbp", "Form=Guichet\x81.frm\r\n"}, {"Guichet.frm", Form("x", false)}},
                 1,
                 "Fixing {root}/App.vbp\n   fixing Guichet\\x81.frm\n"
                 "Error: cannot open \"Guichet\\x81.frm\" for reading: No such file or directory\n"
                 "Fixup stopped.\n",
                 {{"App.vbp", "Form=Guichet\x81.frm\r\n"}, {"Guichet.frm", Form("x", false)}}},
        NameCase{"AmbiguousPair",
                 {},
                 {{"App.vbp", "Form=D\xe9tail.frm\r\n"},
                  {"D\xe9tail.frm", Form("a", false)},
                  {"Détail.frm", Form("b", false)}},
                 1,
                 "Fixing {root}/App.vbp\n   fixing D\xe9tail.frm\n"
                 "Error: cannot open \"D\xe9tail.frm\" for reading: two files match: "
                 "\"{root}/D\xe9tail.frm\" as the name stands, and \"{root}/Détail.frm\" with "
                 "the name read in code page 1252\n"
                 "Fixup stopped.\n",
                 {{"App.vbp", "Form=D\xe9tail.frm\r\n"},
                  {"D\xe9tail.frm", Form("a", false)},
                  {"Détail.frm", Form("b", false)}}},
        NameCase{
            "AlreadyUtf8",
            {"--codepage", "1251"},
            {{"App.vbp", "Form=FORMS\\Détail.frm\r\n"}, {"Forms/Détail.frm", Form("é", false)}},
            0,
            "Fixing {root}/App.vbp\n   fixing FORMS\\Détail.frm\nFixup completed.\n",
            {{"App.vbp", "Form=FORMS\\Détail.frm\r\n"}, {"Forms/Détail.frm", Form("é", true)}}}),
    [](const ::testing::TestParamInfo<NameCase>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace plindor::cli
