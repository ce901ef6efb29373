#include "repair/rules.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "repair/rule_scanner.h"

namespace plindor::repair {

const std::array<Rule, 3> kProjectRules = {{
    {"Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX",
     "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX"},
    {"Object={FE0065C0-1B7B-11CF-9D53-00AA003C9CB6}#2.0#0; MSCOMCT2.OCX",
     "Object={86CF1D34-0C5F-11d2-A9FC-0000F8754DA1}#2.0#0; MSCOMCT2.OCX"},
    {"Object={02B5E320-7292-11CF-93D5-0020AF99504A}#2.0#0; MSCHRT20.OCX",
     "Object={65E121D4-0C60-11d2-A9FC-0000F8754DA1}#2.0#0; MSChrt20.OCX"},
}};

const std::array<Rule, 6> kComponentRules = {{
    {R"(Object = "{6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0"; "MSCOMCTL.OCX")",
     R"(Object = "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0"; "MSCOMCTL.OCX")"},
    {" ComctlLib.", " MSComctlLib."},
    {R"(Object = "{FE0065C0-1B7B-11CF-9D53-00AA003C9CB6}#2.0#0"; "MSCOMCT2.OCX")",
     R"(Object = "{86CF1D34-0C5F-11d2-A9FC-0000F8754DA1}#2.0#0"; "MSCOMCT2.OCX")"},
    {" Comctl2.", " MSComctl2."},
    {R"(Object = "{02B5E320-7292-11CF-93D5-0020AF99504A}#2.0#0"; "MSCHRT20.OCX")",
     R"(Object = "{65E121D4-0C60-11d2-A9FC-0000F8754DA1}#2.0#0"; "MSChrt20.OCX")"},
    {" MSChartLib.", " MSChart20Lib."},
}};

namespace {

// Builds the text with every match replaced, copying the spans between matches once.
std::string Replace(std::string_view text, const std::vector<RuleMatch>& matches,
                    std::span<const Rule> table) {
  std::size_t size = text.size();
  for (const RuleMatch& m : matches) {
    size = size - table[m.rule].find.size() + table[m.rule].replacement.size();
  }
  std::string result;
  // Appended into reserved room, so that no byte is written twice.
  result.reserve(size);
  std::size_t copied_to = 0;
  for (const RuleMatch& m : matches) {
    const Rule& rule = table[m.rule];
    result.append(text.substr(copied_to, m.offset - copied_to));
    result.append(rule.replacement);
    copied_to = m.offset + rule.find.size();
  }
  result.append(text.substr(copied_to));
  return result;
}

// Texts this large are scanned in two halves at once, cut after a line end: no find text holds
// one, so no match crosses it, and the scan of the second half finds exactly what a scan of the
// whole text would find there.
constexpr std::size_t kSplitFrom = std::size_t{4} << 20;

void FindAllMatches(std::string_view text, const RuleScanner& scanner, std::span<const Rule> table,
                    std::vector<RuleMatch>& matches) {
  const bool lines_apart = std::ranges::none_of(
      table, [](const Rule& rule) { return rule.find.find('\n') != std::string_view::npos; });
  const std::size_t cut = text.find('\n', text.size() / 2);
  if (text.size() < kSplitFrom || !lines_apart || cut == std::string_view::npos) {
    scanner.FindAll(text, matches);
    return;
  }
  std::vector<RuleMatch> second;
  std::thread worker([&] { scanner.FindAll(text.substr(cut + 1), second); });
  scanner.FindAll(text.substr(0, cut + 1), matches);
  worker.join();
  matches.reserve(matches.size() + second.size());
  for (RuleMatch match : second) {
    match.offset += cut + 1;
    matches.push_back(match);
  }
}

// Applies the rules found by `scanner` (indices into `table`) and adds to `counts`.
std::string ApplyScan(std::string_view text, const RuleScanner& scanner,
                      std::span<const Rule> table, std::span<std::size_t> counts,
                      std::size_t first_rule) {
  std::vector<RuleMatch> matches;
  FindAllMatches(text, scanner, table, matches);
  for (RuleMatch& m : matches) {
    m.rule += first_rule;
    if (!counts.empty()) ++counts[m.rule];
  }
  if (matches.empty()) return std::string(text);
  return Replace(text, matches, table);
}

// The built-in tables are scanned in one pass; their scanners are built once.
const RuleScanner* BuiltInScanner(std::span<const Rule> table) {
  const auto is = [&](const auto& builtin) {
    return table.data() == builtin.data() && table.size() == builtin.size();
  };
  if (is(kComponentRules)) {
    static const std::optional<RuleScanner> scanner =
        CanScanTogether(kComponentRules) ? std::optional<RuleScanner>(kComponentRules)
                                         : std::nullopt;
    return scanner ? &*scanner : nullptr;
  }
  if (is(kProjectRules)) {
    static const std::optional<RuleScanner> scanner =
        CanScanTogether(kProjectRules) ? std::optional<RuleScanner>(kProjectRules) : std::nullopt;
    return scanner ? &*scanner : nullptr;
  }
  return nullptr;
}

}  // namespace

std::string ApplyRules(std::string_view text, std::span<const Rule> table,
                       std::span<std::size_t> counts) {
  if (!counts.empty() && counts.size() != table.size()) {
    throw std::invalid_argument("ApplyRules: one count per rule");
  }
  std::fill(counts.begin(), counts.end(), std::size_t{0});
  if (const RuleScanner* scanner = BuiltInScanner(table)) {
    return ApplyScan(text, *scanner, table, counts, 0);
  }
  if (CanScanTogether(table)) {
    return ApplyScan(text, RuleScanner(table), table, counts, 0);
  }
  std::string result(text);
  for (std::size_t i = 0; i < table.size(); ++i) {
    result = ApplyScan(result, RuleScanner(table.subspan(i, 1)), table, counts, i);
  }
  return result;
}

}  // namespace plindor::repair
