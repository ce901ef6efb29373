// ApplyRules against the obvious rule-by-rule implementation, on the built-in tables and on
// small tables taken from the input, through both the copying and the in-place paths.
//
// Input: one byte choosing the table (0 component rules, 1 project rules, 2 from the input),
// then the text. For 2 the text starts with the table: find and replacement texts separated
// by \x01, ended by \x02.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "repair/rules.h"

namespace plindor::fuzz {
namespace {

using repair::Rule;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

std::string Reference(std::string text, std::span<const Rule> table,
                      std::vector<std::size_t>& counts) {
  for (std::size_t r = 0; r < table.size(); ++r) {
    const Rule& rule = table[r];
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
      bool match = !rule.find.empty() && i + rule.find.size() <= text.size();
      for (std::size_t k = 0; match && k < rule.find.size(); ++k) {
        match = Lower(text[i + k]) == Lower(rule.find[k]);
      }
      if (match) {
        out += rule.replacement;
        i += rule.find.size();
        ++counts[r];
      } else {
        out += text[i++];
      }
    }
    text = std::move(out);
  }
  return text;
}

// Reads up to three rules from the front of `input`; what follows is the text.
std::vector<Rule> TableFrom(std::string_view& input, std::vector<std::string>& storage) {
  const std::size_t end = input.find('\x02');
  if (end == std::string_view::npos) return {};
  std::string_view rules_text = input.substr(0, end);
  input.remove_prefix(end + 1);
  storage.reserve(6);
  while (storage.size() < 6) {
    const std::size_t cut = rules_text.find('\x01');
    storage.emplace_back(rules_text.substr(0, cut));
    if (cut == std::string_view::npos) break;
    rules_text.remove_prefix(cut + 1);
  }
  std::vector<Rule> table;
  for (std::size_t i = 0; i + 1 < storage.size(); i += 2) {
    // Find texts are never empty; keep them short so that they match often.
    if (storage[i].empty() || storage[i].size() > 16) continue;
    table.push_back({storage[i], storage[i + 1]});
  }
  return table;
}

}  // namespace
}  // namespace plindor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int mode = data[0] % 3;
  std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string> storage;
  std::vector<plindor::repair::Rule> custom;
  std::span<const plindor::repair::Rule> table = plindor::repair::kComponentRules;
  if (mode == 1) table = plindor::repair::kProjectRules;
  if (mode == 2) {
    custom = plindor::fuzz::TableFrom(input, storage);
    table = custom;
  }

  const std::string text(input);
  std::vector<std::size_t> expected_counts(table.size());
  const std::string expected = plindor::fuzz::Reference(text, table, expected_counts);

  std::vector<std::size_t> counts(table.size());
  const std::string copied = plindor::repair::ApplyRules(text, table, counts);
  if (copied != expected) plindor::fuzz::Fail("ApplyRules differs from the reference");
  if (counts != expected_counts) plindor::fuzz::Fail("counts differ from the reference");

  // The built-in tables are idempotent: a repaired file comes out unchanged.
  if (mode < 2 && plindor::repair::ApplyRules(copied, table) != copied) {
    plindor::fuzz::Fail("ApplyRules is not idempotent");
  }
  return 0;
}
