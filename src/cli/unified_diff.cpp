#include "cli/unified_diff.h"

#include <dtl/dtl.hpp>

#include <cstddef>
#include <vector>

namespace plindor::cli {

namespace {

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

template <typename Element>
void AppendLines(const std::vector<Element>& elements, std::string& out) {
  for (const auto& [line, info] : elements) {
    out += info.type == dtl::SES_ADD ? '+' : info.type == dtl::SES_DELETE ? '-' : ' ';
    out.append(line);
    if (line.empty() || line.back() != '\n') out += "\n\\ No newline at end of file\n";
  }
}

}  // namespace

std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after) {
  if (before == after) return {};
  dtl::Diff<std::string_view> diff(SplitLines(before), SplitLines(after));
  diff.compose();
  diff.composeUnifiedHunks();

  std::string out;
  out.append("--- ").append(name).append("\n+++ ").append(name).append("\n");
  for (const auto& hunk : diff.getUniHunks()) {
    out += "@@ -" + std::to_string(hunk.a) + "," + std::to_string(hunk.b) + " +" +
           std::to_string(hunk.c) + "," + std::to_string(hunk.d) + " @@\n";
    AppendLines(hunk.common[0], out);
    AppendLines(hunk.change, out);
    AppendLines(hunk.common[1], out);
  }
  return out;
}

}  // namespace plindor::cli
