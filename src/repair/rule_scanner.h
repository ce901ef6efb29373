#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "repair/rules.h"

namespace plindor::repair {

// Where a find text was found: its offset in the scanned text and the index of its rule.
struct RuleMatch {
  std::size_t offset;
  std::size_t rule;
};

// Finds the occurrences of several find texts in one left-to-right pass, the 26 ASCII letters
// compared without regard to case. After a match the scan resumes right after it, so the matches
// of one rule never overlap. The caller promises that no two find texts can overlap each other
// (see CanScanTogether); with a single rule that holds trivially. Empty find texts never match.
class RuleScanner final {
 public:
  explicit RuleScanner(std::span<const Rule> rules);

  // Appends the matches in `text` to `out`, in ascending offset order.
  void FindAll(std::string_view text, std::vector<RuleMatch>& out) const;

 private:
  struct Pattern {
    std::vector<unsigned char> folded;
    std::size_t rule;
  };
  // Rules sharing the first byte, the last byte and the length are tested by the same pair of
  // vector compares; a hit is then checked against each of them byte by byte.
  struct Anchor {
    unsigned char first_value, first_mask;
    unsigned char last_value, last_mask;
    std::size_t size;
    std::vector<std::size_t> patterns;
  };

  // The rule matching at `at`, with its find text's size, or false.
  bool MatchAt(const char* text, std::size_t size, std::size_t at, RuleMatch& match,
               std::size_t& length) const;
  bool MatchAnchorAt(const Anchor& anchor, const char* text, std::size_t at,
                     RuleMatch& match) const;

  std::vector<Pattern> patterns_;
  std::vector<Anchor> anchors_;
  std::size_t longest_ = 0;
};

// Whether applying `table` rule by rule gives the same text as one RuleScanner pass over the
// original text, replacing every match. True when no two find texts can overlap anywhere, no
// replacement text can overlap a later rule's find text (so no earlier replacement can create
// or break a later match), and no replacement is empty (a deletion could join two pieces into
// a new match).
bool CanScanTogether(std::span<const Rule> table);

}  // namespace plindor::repair
