#include "repair/rule_scanner.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PLINDOR_HAVE_SSE2 1
#endif

namespace plindor::repair {

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

// A byte of a find text as a (value, mask) pair: a text byte c matches it when (c | mask) ==
// value. Setting bit 5 folds a letter's two cases together and nothing else, so only letters
// get the mask.
inline bool IsLetter(unsigned char folded) { return folded >= 'a' && folded <= 'z'; }
inline unsigned char MaskOf(unsigned char folded) { return IsLetter(folded) ? 0x20 : 0x00; }

// Whether `b`, placed at any offset against `a` (partly before, inside, partly after), agrees
// with it on every byte they share.
bool CanOverlap(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  const auto a_size = static_cast<std::ptrdiff_t>(a.size());
  const auto b_size = static_cast<std::ptrdiff_t>(b.size());
  for (std::ptrdiff_t shift = 1 - b_size; shift < a_size; ++shift) {
    const std::ptrdiff_t begin = std::max<std::ptrdiff_t>(0, shift);
    const std::ptrdiff_t end = std::min(a_size, shift + b_size);
    bool agree = true;
    for (std::ptrdiff_t k = begin; agree && k < end; ++k) {
      agree = Fold(a[static_cast<std::size_t>(k)]) == Fold(b[static_cast<std::size_t>(k - shift)]);
    }
    if (agree) return true;
  }
  return false;
}

}  // namespace

RuleScanner::RuleScanner(std::span<const Rule> rules) {
  for (std::size_t r = 0; r < rules.size(); ++r) {
    const std::string_view find = rules[r].find;
    if (find.empty()) continue;
    Pattern pattern{{}, r};
    for (const char c : find) pattern.folded.push_back(Fold(c));
    const unsigned char first = pattern.folded.front();
    const unsigned char last = pattern.folded.back();
    patterns_.push_back(std::move(pattern));
    longest_ = std::max(longest_, find.size());

    const auto same = [&](const Anchor& a) {
      return a.first_value == first && a.last_value == last && a.size == find.size();
    };
    auto anchor = std::find_if(anchors_.begin(), anchors_.end(), same);
    if (anchor == anchors_.end()) {
      anchors_.push_back({first, MaskOf(first), last, MaskOf(last), find.size(), {}});
      anchor = anchors_.end() - 1;
    }
    anchor->patterns.push_back(patterns_.size() - 1);
  }
}

bool RuleScanner::MatchAnchorAt(const Anchor& anchor, const char* text, std::size_t at,
                                RuleMatch& match) const {
  for (const std::size_t index : anchor.patterns) {
    const Pattern& pattern = patterns_[index];
    std::size_t k = 0;
    while (k < pattern.folded.size() && Fold(text[at + k]) == pattern.folded[k]) ++k;
    if (k == pattern.folded.size()) {
      match = {at, pattern.rule};
      return true;
    }
  }
  return false;
}

bool RuleScanner::MatchAt(const char* text, std::size_t size, std::size_t at, RuleMatch& match,
                          std::size_t& length) const {
  for (const Anchor& anchor : anchors_) {
    if (anchor.size > size - at) continue;
    const auto first = static_cast<unsigned char>(text[at]);
    const auto last = static_cast<unsigned char>(text[at + anchor.size - 1]);
    if ((first | anchor.first_mask) != anchor.first_value ||
        (last | anchor.last_mask) != anchor.last_value) {
      continue;
    }
    if (MatchAnchorAt(anchor, text, at, match)) {
      length = anchor.size;
      return true;
    }
  }
  return false;
}

void RuleScanner::FindAll(std::string_view text, std::vector<RuleMatch>& out) const {
  if (anchors_.empty()) return;
  const char* data = text.data();
  const std::size_t size = text.size();
  std::size_t pos = 0;
  RuleMatch match{};
  std::size_t length = 0;

#ifdef PLINDOR_HAVE_SSE2
  // Sixteen candidate positions at a time: a position is worth checking only when the first
  // and the last byte of some find text both fit there. Real texts rarely pass that filter.
  struct Lanes {
    __m128i first_value, first_mask, last_value, last_mask;
    std::size_t last_offset;
  };
  std::vector<Lanes> lanes;
  lanes.reserve(anchors_.size());
  for (const Anchor& a : anchors_) {
    lanes.push_back({_mm_set1_epi8(static_cast<char>(a.first_value)),
                     _mm_set1_epi8(static_cast<char>(a.first_mask)),
                     _mm_set1_epi8(static_cast<char>(a.last_value)),
                     _mm_set1_epi8(static_cast<char>(a.last_mask)), a.size - 1});
  }
  // Every load of a block stays inside the text.
  while (size >= longest_ + 15 && pos <= size - longest_ - 15) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
    __m128i hits = _mm_setzero_si128();
    for (const Lanes& l : lanes) {
      const __m128i last =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos + l.last_offset));
      const __m128i first_fits = _mm_cmpeq_epi8(_mm_or_si128(first, l.first_mask), l.first_value);
      const __m128i last_fits = _mm_cmpeq_epi8(_mm_or_si128(last, l.last_mask), l.last_value);
      hits = _mm_or_si128(hits, _mm_and_si128(first_fits, last_fits));
    }
    auto bits = static_cast<unsigned>(_mm_movemask_epi8(hits));
    std::size_t next = pos + 16;
    while (bits != 0) {
      const std::size_t at = pos + static_cast<std::size_t>(std::countr_zero(bits));
      if (MatchAt(data, size, at, match, length)) {
        out.push_back(match);
        next = at + length;
        break;
      }
      bits &= bits - 1;
    }
    pos = next;
  }
#endif

  while (pos < size) {
    if (MatchAt(data, size, pos, match, length)) {
      out.push_back(match);
      pos += length;
    } else {
      ++pos;
    }
  }
}

bool CanScanTogether(std::span<const Rule> table) {
  for (std::size_t j = 0; j < table.size(); ++j) {
    if (table[j].find.empty()) continue;
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (i == j || table[i].find.empty()) continue;
      if (CanOverlap(table[i].find, table[j].find)) return false;
      if (i < j &&
          (table[i].replacement.empty() || CanOverlap(table[i].replacement, table[j].find))) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace plindor::repair
