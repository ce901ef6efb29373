#include "cli/unified_diff.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace plindor::cli {

namespace {

constexpr std::size_t kContext = 3;

// Each line keeps its LF, so that a missing LF at the end shows as a change.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t lf = text.find('\n', start);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

struct Edit {
  char mark;  // ' ', '-' or '+'
  std::string_view line;
};

// Pairs the lines by position: each run of differing lines becomes its old lines followed by
// its new ones. Linear, and exact for the repair, which never adds or removes a line; for other
// texts of equal length it is a correct, if not always the shortest, edit script.
std::vector<Edit> LineByLine(const std::vector<std::string_view>& old_lines,
                             const std::vector<std::string_view>& new_lines) {
  std::vector<Edit> edits;
  std::size_t i = 0;
  while (i < old_lines.size()) {
    if (old_lines[i] == new_lines[i]) {
      edits.push_back({' ', old_lines[i++]});
      continue;
    }
    std::size_t end = i;
    while (end < old_lines.size() && old_lines[end] != new_lines[end]) ++end;
    for (std::size_t k = i; k < end; ++k) edits.push_back({'-', old_lines[k]});
    for (std::size_t k = i; k < end; ++k) edits.push_back({'+', new_lines[k]});
    i = end;
  }
  return edits;
}

// Texts whose line counts differ, which the repair never makes: every old line out, every new
// line in. Correct, if not the shortest.
std::vector<Edit> Replacement(const std::vector<std::string_view>& old_lines,
                              const std::vector<std::string_view>& new_lines) {
  std::vector<Edit> edits;
  for (const std::string_view line : old_lines) edits.push_back({'-', line});
  for (const std::string_view line : new_lines) edits.push_back({'+', line});
  return edits;
}

// "-first,count" as unified diffs write a range: an empty range names the line before it, and
// a count of one is left out.
std::string Range(char sign, std::size_t lines_before, std::size_t count) {
  std::string text(1, sign);
  text += std::to_string(count == 0 ? lines_before : lines_before + 1);
  if (count != 1) text.append(1, ',').append(std::to_string(count));
  return text;
}

}  // namespace

std::string QuotedDiffName(std::string_view name) {
  const auto plain = [](unsigned char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; };
  if (std::ranges::all_of(name, [&](char c) { return plain(static_cast<unsigned char>(c)); })) {
    return std::string(name);
  }
  std::string quoted = "\"";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\a':
        quoted += "\\a";
        break;
      case '\b':
        quoted += "\\b";
        break;
      case '\f':
        quoted += "\\f";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      case '\v':
        quoted += "\\v";
        break;
      default:
        if (plain(byte)) {
          quoted += c;
        } else {
          quoted.append(1, '\\')
              .append(1, static_cast<char>('0' + (byte >> 6)))
              .append(1, static_cast<char>('0' + ((byte >> 3) & 7)))
              .append(1, static_cast<char>('0' + (byte & 7)));
        }
    }
  }
  return quoted + "\"";
}

std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after) {
  if (before == after) return {};
  const std::vector<std::string_view> old_lines = SplitLines(before);
  const std::vector<std::string_view> new_lines = SplitLines(after);
  const std::vector<Edit> edits = old_lines.size() == new_lines.size()
                                      ? LineByLine(old_lines, new_lines)
                                      : Replacement(old_lines, new_lines);

  const std::string quoted = QuotedDiffName(name);
  std::string out;
  out.append("--- ").append(quoted).append("\n+++ ").append(quoted).append("\n");
  std::size_t old_line = 0;  // lines of each side before edits[next]
  std::size_t new_line = 0;
  std::size_t next = 0;
  while (true) {
    std::size_t change = next;
    while (change < edits.size() && edits[change].mark == ' ') ++change;
    if (change == edits.size()) break;
    const std::size_t start = change - std::min(kContext, change - next);
    // A hunk runs on while the common lines between two changes are few enough to be context
    // for both.
    std::size_t end = change;
    while (true) {
      while (end < edits.size() && edits[end].mark != ' ') ++end;
      std::size_t common = end;
      while (common < edits.size() && edits[common].mark == ' ') ++common;
      if (common == edits.size() || common - end > 2 * kContext) {
        end = std::min(common, end + kContext);
        break;
      }
      end = common;
    }

    old_line += start - next;  // only common lines lie between two hunks
    new_line += start - next;
    std::size_t old_count = 0;
    std::size_t new_count = 0;
    for (std::size_t i = start; i < end; ++i) {
      if (edits[i].mark != '+') ++old_count;
      if (edits[i].mark != '-') ++new_count;
    }
    out +=
        "@@ " + Range('-', old_line, old_count) + " " + Range('+', new_line, new_count) + " @@\n";
    for (std::size_t i = start; i < end; ++i) {
      out += edits[i].mark;
      out.append(edits[i].line);
      if (edits[i].line.back() != '\n') out += "\n\\ No newline at end of file\n";
    }
    old_line += old_count;
    new_line += new_count;
    next = end;
  }
  return out;
}

}  // namespace plindor::cli
