#include "repair/rules.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace plindor::repair {
namespace {

std::string Listing(std::span<const Rule> table) {
  std::string out;
  for (const Rule& rule : table) {
    out.append(rule.find).append(" -> ").append(rule.replacement).append("\n");
  }
  return out;
}

TEST(RuleTables, ProjectRulesAreExactlyTheKnownReferences) {
  EXPECT_EQ(Listing(kProjectRules),
            "Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX -> "
            "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\n"
            "Object={FE0065C0-1B7B-11CF-9D53-00AA003C9CB6}#2.0#0; MSCOMCT2.OCX -> "
            "Object={86CF1D34-0C5F-11d2-A9FC-0000F8754DA1}#2.0#0; MSCOMCT2.OCX\n"
            "Object={02B5E320-7292-11CF-93D5-0020AF99504A}#2.0#0; MSCHRT20.OCX -> "
            "Object={65E121D4-0C60-11d2-A9FC-0000F8754DA1}#2.0#0; MSChrt20.OCX\n");
}

TEST(RuleTables, ComponentRulesAreExactlyTheKnownReferences) {
  EXPECT_EQ(Listing(kComponentRules),
            "Object = \"{6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0\"; \"MSCOMCTL.OCX\" -> "
            "Object = \"{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0\"; \"MSCOMCTL.OCX\"\n"
            " ComctlLib. ->  MSComctlLib.\n"
            "Object = \"{FE0065C0-1B7B-11CF-9D53-00AA003C9CB6}#2.0#0\"; \"MSCOMCT2.OCX\" -> "
            "Object = \"{86CF1D34-0C5F-11d2-A9FC-0000F8754DA1}#2.0#0\"; \"MSCOMCT2.OCX\"\n"
            " Comctl2. ->  MSComctl2.\n"
            "Object = \"{02B5E320-7292-11CF-93D5-0020AF99504A}#2.0#0\"; \"MSCHRT20.OCX\" -> "
            "Object = \"{65E121D4-0C60-11d2-A9FC-0000F8754DA1}#2.0#0\"; \"MSChrt20.OCX\"\n"
            " MSChartLib. ->  MSChart20Lib.\n");
}

struct Case {
  const char* name;
  std::string input;
  std::string expected;
};

void PrintTo(const Case& row, std::ostream* out) { *out << row.name; }

class ComponentRules : public ::testing::TestWithParam<Case> {};

TEST_P(ComponentRules, RewriteAsExpected) {
  EXPECT_EQ(ApplyRules(GetParam().input, kComponentRules), GetParam().expected);
}

const std::string kOldComctl =
    R"(Object = "{6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0"; "MSCOMCTL.OCX")";
const std::string kNewComctl =
    R"(Object = "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0"; "MSCOMCTL.OCX")";

INSTANTIATE_TEST_SUITE_P(
    Cases, ComponentRules,
    ::testing::Values(
        Case{"Empty", "", ""},
        Case{"NoMatchKeepsEveryByte", std::string("VERSION 5.00\r\n\0\xff\xc3\xa9 x\n", 19),
             std::string("VERSION 5.00\r\n\0\xff\xc3\xa9 x\n", 19)},
        Case{"LowerCaseReferenceGetsReplacementCase",
             R"(object = "{6b7e6392-850a-101b-afc0-4210102a8da7}#2.0#0"; "mscomctl.ocx")"
             "\r\n",
             kNewComctl + "\r\n"},
        Case{"ClassPrefix", "Begin ComctlLib.ListView ListView1\r\n",
             "Begin MSComctlLib.ListView ListView1\r\n"},
        Case{"ClassPrefixAnyCase", "Begin COMCTLLIB.ListView a\r\nBegin comctllib.X b",
             "Begin MSComctlLib.ListView a\r\nBegin MSComctlLib.X b"},
        Case{"AlreadyNewPrefixUntouched", "Begin MSComctlLib.ListView a",
             "Begin MSComctlLib.ListView a"},
        Case{"NoSpaceAtStartOfText", "ComctlLib.ListView", "ComctlLib.ListView"},
        Case{"TabInsteadOfSpace", "Begin\tComctlLib.ListView", "Begin\tComctlLib.ListView"},
        Case{"BackToBack", " ComctlLib. ComctlLib.", " MSComctlLib. MSComctlLib."},
        Case{"Comctl2", "Begin Comctl2.UpDown u", "Begin MSComctl2.UpDown u"},
        Case{"Chart", "Begin MSChartLib.MSChart c", "Begin MSChart20Lib.MSChart c"},
        Case{"ChartTwiceStaysRepaired", "Begin MSChart20Lib.MSChart c",
             "Begin MSChart20Lib.MSChart c"},
        Case{"ProjectSpellingNotTouched",
             "Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX",
             "Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX"},
        Case{"OtherVersionNotTouched",
             R"(Object = "{6B7E6392-850A-101B-AFC0-4210102A8DA7}#1.3#0"; "MSCOMCTL.OCX")",
             R"(Object = "{6B7E6392-850A-101B-AFC0-4210102A8DA7}#1.3#0"; "MSCOMCTL.OCX")"},
        // Bytes that differ from a find text's byte only in bit 5 are not letters: a fold
        // that sets or clears that bit for every byte would wrongly match them.
        Case{"BracketIsNotBrace",
             R"(Object = "[6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0"; "MSCOMCTL.OCX")",
             R"(Object = "[6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0"; "MSCOMCTL.OCX")"},
        Case{"NulIsNotSpace", std::string("a\0ComctlLib.b", 13), std::string("a\0ComctlLib.b", 13)},
        Case{"ControlByteIsNotDot",
             "a ComctlLib\x0e"
             "b",
             "a ComctlLib\x0e"
             "b"},
        Case{"NonAsciiIsNotALetter", "a Comctl\xccib.b", "a Comctl\xccib.b"},
        Case{"AllThreeLibraries",
             kOldComctl + "\r\n" +
                 R"(Object = "{FE0065C0-1B7B-11CF-9D53-00AA003C9CB6}#2.0#0"; "MSCOMCT2.OCX")" +
                 "\r\n" +
                 R"(Object = "{02B5E320-7292-11CF-93D5-0020AF99504A}#2.0#0"; "MSCHRT20.OCX")" +
                 "\r\n",
             kNewComctl + "\r\n" +
                 R"(Object = "{86CF1D34-0C5F-11d2-A9FC-0000F8754DA1}#2.0#0"; "MSCOMCT2.OCX")" +
                 "\r\n" +
                 R"(Object = "{65E121D4-0C60-11d2-A9FC-0000F8754DA1}#2.0#0"; "MSChrt20.OCX")" +
                 "\r\n"}),
    [](const ::testing::TestParamInfo<Case>& row) { return std::string(row.param.name); });

TEST(ProjectRules, RewriteTheProjectSpellingOnly) {
  const std::string project =
      "Type=Exe\r\n"
      "object={6b7e6392-850a-101b-afc0-4210102a8da7}#2.0#0; mscomctl.ocx\r\n"
      "Object={FE0065C0-1B7B-11CF-9D53-00AA003C9CB6}#2.0#0; MSCOMCT2.OCX\n"
      "Object={02B5E320-7292-11CF-93D5-0020AF99504A}#2.0#0; MSCHRT20.OCX\r\n" +
      kOldComctl + "\r\nForm=Main.frm\r\n";
  EXPECT_EQ(ApplyRules(project, kProjectRules),
            "Type=Exe\r\n"
            "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\r\n"
            "Object={86CF1D34-0C5F-11d2-A9FC-0000F8754DA1}#2.0#0; MSCOMCT2.OCX\n"
            "Object={65E121D4-0C60-11d2-A9FC-0000F8754DA1}#2.0#0; MSChrt20.OCX\r\n" +
                kOldComctl + "\r\nForm=Main.frm\r\n");
}

TEST(ApplyRules, MatchesDoNotOverlapAndInsertedTextIsNotSearchedAgain) {
  struct Row {
    std::string find, replacement, input, expected;
  };
  const std::vector<Row> rows = {
      {"aba", "X", "ababa", "Xba"},       // left to right, no overlap
      {"aa", "aaa", "aaaa", "aaaaaa"},    // each match once, inserted text not rescanned
      {"ab", "aab", "ab ab", "aab aab"},  // replacement contains the find text
      {"xy", "", "axyxyb", "ab"},         // empty replacement
      {"Ab", "cD", "AB ab aB Ab", "cD cD cD cD"},
  };
  for (const Row& row : rows) {
    const Rule rule{row.find, row.replacement};
    EXPECT_EQ(ApplyRules(row.input, std::span<const Rule>(&rule, 1)), row.expected)
        << row.find << " in " << row.input;
  }
}

TEST(ApplyRules, CountsReplacementsPerRule) {
  std::array<std::size_t, 6> counts{};
  ApplyRules(" ComctlLib.a COMCTLLIB.b MSChartLib.c", kComponentRules, counts);
  EXPECT_EQ(counts, (std::array<std::size_t, 6>{0, 2, 0, 0, 0, 1}));
}

TEST(ApplyRules, RulesApplyInTableOrderEachToThePreviousResult) {
  const std::vector<Rule> table = {{"a", "b"}, {"b", "c"}};
  EXPECT_EQ(ApplyRules("ab", table), "cc");
}

// The obvious implementation: find, replace, carry on after the replacement. Slow, but its
// correctness is plain to see.
std::string NaiveApply(std::string text, std::span<const Rule> table) {
  const auto lower = [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
  };
  for (const Rule& rule : table) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
      bool match = i + rule.find.size() <= text.size();
      for (std::size_t k = 0; match && k < rule.find.size(); ++k) {
        match = lower(text[i + k]) == lower(rule.find[k]);
      }
      if (match) {
        out += rule.replacement;
        i += rule.find.size();
      } else {
        out += text[i++];
      }
    }
    text = out;
  }
  return text;
}

// Texts made of pieces of the find texts, case-mangled and cut at random, so that near misses,
// partial matches and back-to-back matches are common.
std::string GeneratedText(std::mt19937& random, std::span<const Rule> table) {
  static const std::vector<std::string> kNoise = {" ", "\r\n", "\n", "\"", ".",    "Lib.",
                                                  "{", "[",    "#",  "\0", "\xe9", "x"};
  std::string text;
  const int pieces = std::uniform_int_distribution<int>(0, 40)(random);
  for (int p = 0; p < pieces; ++p) {
    if (random() % 3 == 0) {
      text += kNoise[random() % kNoise.size()];
      continue;
    }
    const Rule& rule = table[random() % table.size()];
    const std::string_view source = random() % 4 == 0 ? rule.replacement : rule.find;
    std::size_t begin = 0;
    std::size_t end = source.size();
    if (random() % 2 == 0) begin = random() % source.size();
    if (random() % 2 == 0) end = begin + random() % (source.size() - begin + 1);
    for (std::size_t i = begin; i < end; ++i) {
      char c = source[i];
      if (random() % 5 == 0 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (random() % 5 == 0 && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      text += c;
    }
  }
  return text;
}

TEST(ApplyRules, AgreesWithNaiveReferenceOnGeneratedTexts) {
  std::mt19937 random(20261207);
  int changed = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::span<const Rule> table = round % 2 == 0 ? std::span<const Rule>(kComponentRules)
                                                       : std::span<const Rule>(kProjectRules);
    const std::string text = GeneratedText(random, table);
    const std::string expected = NaiveApply(text, table);
    const std::string actual = ApplyRules(text, table);
    ASSERT_EQ(actual, expected) << "input: " << text;
    ASSERT_EQ(ApplyRules(actual, table), actual) << "not idempotent on: " << text;
    changed += actual != text ? 1 : 0;
  }
  // The generator must actually produce matches, or the comparison proves little.
  EXPECT_GT(changed, 5000);
}

// Large texts are scanned in two halves, cut at a line end near the middle: whatever stands
// around the cut, the result and the counts are those of one scan.
TEST(ApplyRules, LargeTextsComeOutAsIfScannedWhole) {
  std::mt19937 random(7);
  std::string text;
  while (text.size() < (std::size_t{5} << 20)) text += GeneratedText(random, kComponentRules);
  EXPECT_TRUE(ApplyRules(text, kComponentRules) == NaiveApply(text, kComponentRules));
  // The same with a reference and a class prefix on each side of every line end near the
  // middle, where the cut falls.
  std::string around;
  for (int i = 0; i < 200; ++i) around += " ComctlLib.X\n ComctlLib.";
  text.insert(text.size() / 2 - around.size() / 2, around);
  std::vector<std::size_t> whole_counts(kComponentRules.size());
  const std::string result = ApplyRules(text, kComponentRules, whole_counts);
  EXPECT_TRUE(result == NaiveApply(text, kComponentRules));
  // Rules 2, 4 and 6 each add "MS" or "20"; the others keep the length.
  EXPECT_EQ(result.size() - text.size(), 2 * (whole_counts[1] + whole_counts[3] + whole_counts[5]));
  EXPECT_GE(whole_counts[1], 400u);
}

}  // namespace
}  // namespace plindor::repair
