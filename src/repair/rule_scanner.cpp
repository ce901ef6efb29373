#include "repair/rule_scanner.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>

#include "repair/ascii.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PLINDOR_HAVE_SSE2 1
#endif

namespace plindor::repair {

namespace {

inline unsigned char Fold(char c) { return static_cast<unsigned char>(FoldAscii(c)); }

// A byte of a find text as a (value, mask) pair: a text byte c matches it when (c | mask) ==
// value. Setting bit 5 folds a letter's two cases together and nothing else, so only letters
// get the mask.
inline bool IsLetter(unsigned char folded) { return folded >= 'a' && folded <= 'z'; }
inline unsigned char MaskOf(unsigned char folded) { return IsLetter(folded) ? 0x20 : 0x00; }

// How common a byte is in the texts the rules meet, lower is rarer: forms and projects are
// mostly letters, digits, spaces and line ends, with "=" and quotes on most lines.
int Rarity(unsigned char folded) {
  if (folded == ' ' || folded == '\t' || folded == '\r' || folded == '\n') return 6;
  if (IsLetter(folded)) return 5;
  if (folded >= '0' && folded <= '9') return 4;
  switch (folded) {
    case '"':
    case '=':
      return 3;
    case '.':
    case ',':
    case ';':
    case ':':
    case '-':
    case '_':
    case '(':
    case ')':
    case '\'':
    case '/':
    case '\\':
      return 2;
    default:
      return 1;
  }
}

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
    std::size_t rarest = 0;
    for (std::size_t i = 1; i < pattern.folded.size(); ++i) {
      if (Rarity(pattern.folded[i]) < Rarity(pattern.folded[rarest])) rarest = i;
    }
    const unsigned char value = pattern.folded[rarest];
    patterns_.push_back(std::move(pattern));

    auto needle = std::find_if(needles_.begin(), needles_.end(),
                               [&](const Needle& n) { return n.value == value; });
    if (needle == needles_.end()) {
      needles_.push_back({value, MaskOf(value), {}});
      needle = needles_.end() - 1;
    }
    needle->uses.push_back({patterns_.size() - 1, rarest});
  }
}

void RuleScanner::TryNeedle(const Needle& needle, std::string_view text, std::size_t at,
                            std::size_t& next, std::vector<RuleMatch>& out) const {
  for (const Use& use : needle.uses) {
    if (at < use.offset) continue;
    const std::size_t start = at - use.offset;
    const std::vector<unsigned char>& folded = patterns_[use.pattern].folded;
    // Before `next` a match would overlap the previous one.
    if (start < next || folded.size() > text.size() - start) continue;
    std::size_t k = 0;
    while (k < folded.size() && Fold(text[start + k]) == folded[k]) ++k;
    if (k == folded.size()) {
      out.push_back({start, patterns_[use.pattern].rule});
      next = start + folded.size();
      // Find texts that can be scanned together never overlap, so no other can match here.
      return;
    }
  }
}

void RuleScanner::FindAll(std::string_view text, std::vector<RuleMatch>& out) const {
  if (needles_.empty()) return;
  const std::size_t size = text.size();
  std::size_t pos = 0;
  std::size_t next = 0;

#ifdef PLINDOR_HAVE_SSE2
  // Sixteen bytes at a time: the needles are rare, so most blocks hold none.
  struct Lanes {
    __m128i value, mask;
  };
  std::vector<Lanes> lanes;
  lanes.reserve(needles_.size());
  for (const Needle& n : needles_) {
    lanes.push_back(
        {_mm_set1_epi8(static_cast<char>(n.value)), _mm_set1_epi8(static_cast<char>(n.mask))});
  }
  for (; size >= 16 && pos <= size - 16; pos += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + pos));
    __m128i hits = _mm_setzero_si128();
    for (const Lanes& l : lanes) {
      hits = _mm_or_si128(hits, _mm_cmpeq_epi8(_mm_or_si128(block, l.mask), l.value));
    }
    for (auto bits = static_cast<unsigned>(_mm_movemask_epi8(hits)); bits != 0; bits &= bits - 1) {
      const std::size_t at = pos + static_cast<std::size_t>(std::countr_zero(bits));
      const auto c = static_cast<unsigned char>(text[at]);
      for (const Needle& n : needles_) {
        if ((c | n.mask) == n.value) TryNeedle(n, text, at, next, out);
      }
    }
  }
#endif

  for (; pos < size; ++pos) {
    const auto c = static_cast<unsigned char>(text[pos]);
    for (const Needle& n : needles_) {
      if ((c | n.mask) == n.value) TryNeedle(n, text, pos, next, out);
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
