#include "repair/rules.h"

#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

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

// Folds the 26 ASCII letters to lower case and leaves every other byte alone.
constexpr std::array<unsigned char, 256> MakeFoldTable() {
  std::array<unsigned char, 256> table{};
  for (std::size_t i = 0; i < table.size(); ++i) {
    const auto c = static_cast<unsigned char>(i);
    table[i] = (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
  }
  return table;
}
constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

inline unsigned char Fold(char c) { return kFold[static_cast<unsigned char>(c)]; }

// Finds every non-overlapping occurrence of one find text, left to right, without regard to
// ASCII letter case. Boyer-Moore-Horspool over folded bytes: the find texts are long and
// mostly rare, so most of the text is skipped rather than compared.
class Finder {
 public:
  explicit Finder(std::string_view pattern) : pattern_(pattern) {
    const std::size_t m = pattern_.size();
    folded_.resize(m);
    for (std::size_t i = 0; i < m; ++i) folded_[i] = Fold(pattern_[i]);
    // Indexed by the folded text byte, so a letter of either case finds its shift here.
    shift_.fill(m);
    for (std::size_t i = 0; i + 1 < m; ++i) shift_[folded_[i]] = m - 1 - i;
  }

  // Starting offsets of the matches in `text`.
  std::vector<std::size_t> FindAll(std::string_view text) const {
    std::vector<std::size_t> found;
    const std::size_t m = folded_.size();
    const std::size_t n = text.size();
    if (m == 0 || n < m) return found;
    const unsigned char last = folded_[m - 1];
    const char* data = text.data();
    std::size_t end = m - 1;  // index of the window's last byte
    while (end < n) {
      const unsigned char c = Fold(data[end]);
      if (c == last && Matches(data + end + 1 - m)) {
        found.push_back(end + 1 - m);
        end += m;
      } else {
        end += shift_[c];
      }
    }
    return found;
  }

 private:
  bool Matches(const char* window) const {
    for (std::size_t i = 0; i + 1 < folded_.size(); ++i) {
      if (Fold(window[i]) != folded_[i]) return false;
    }
    return true;
  }

  std::string_view pattern_;
  std::vector<unsigned char> folded_;
  std::array<std::size_t, 256> shift_{};
};

std::string ApplyRule(std::string text, const Rule& rule, std::size_t* count) {
  const std::vector<std::size_t> found = Finder(rule.find).FindAll(text);
  if (count != nullptr) *count = found.size();
  if (found.empty()) return text;

  const std::size_t find_size = rule.find.size();
  const std::size_t replacement_size = rule.replacement.size();
  std::string result;
  result.resize(text.size() - found.size() * find_size + found.size() * replacement_size);
  char* out = result.data();
  std::size_t copied_to = 0;
  for (const std::size_t at : found) {
    std::memcpy(out, text.data() + copied_to, at - copied_to);
    out += at - copied_to;
    std::memcpy(out, rule.replacement.data(), replacement_size);
    out += replacement_size;
    copied_to = at + find_size;
  }
  std::memcpy(out, text.data() + copied_to, text.size() - copied_to);
  return result;
}

}  // namespace

std::string ApplyRules(std::string text, std::span<const Rule> table,
                       std::span<std::size_t> counts) {
  if (!counts.empty() && counts.size() != table.size()) {
    throw std::invalid_argument("ApplyRules: one count per rule");
  }
  for (std::size_t i = 0; i < table.size(); ++i) {
    text = ApplyRule(std::move(text), table[i], counts.empty() ? nullptr : &counts[i]);
  }
  return text;
}

}  // namespace plindor::repair
