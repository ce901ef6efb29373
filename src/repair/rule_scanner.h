#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "repair/rule.h"

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
  // The scan looks for one rare byte of each find text; a find text is then tried where that
  // byte puts its start. Find texts sharing the byte share the needle.
  struct Use {
    std::size_t pattern;
    std::size_t offset;  // of the needle byte in the find text
  };
  struct Needle {
    unsigned char value, mask;  // a text byte c is this needle when (c | mask) == value
    std::vector<Use> uses;
  };

  // Tries the find texts of `needle` around the needle byte at `at`, for matches starting at
  // or after `next`. On a match, records it and moves `next` past it.
  void TryNeedle(const Needle& needle, std::string_view text, std::size_t at, std::size_t& next,
                 std::vector<RuleMatch>& out) const;

  std::vector<Pattern> patterns_;
  std::vector<Needle> needles_;
};

// Whether applying `table` rule by rule gives the same text as one RuleScanner pass over the
// original text, replacing every match. True when no two find texts can overlap anywhere, no
// replacement text can overlap a later rule's find text (so no earlier replacement can create
// or break a later match), and no replacement is empty (a deletion could join two pieces into
// a new match).
bool CanScanTogether(std::span<const Rule> table);

}  // namespace plindor::repair
