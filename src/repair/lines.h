#pragma once

#include <cstddef>
#include <string_view>

namespace plindor::repair {

// Calls `visit` with each line of `text` without its line end. A line ends at LF, and a CR
// right before that LF belongs to the line end, so CR LF and LF-only files read alike; a
// lone CR stays inside its line. A text ending in a line end has an empty last line, and the
// empty text has no lines.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  if (text.empty()) return;
  std::size_t start = 0;
  while (true) {
    const std::size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      visit(text.substr(start));
      return;
    }
    std::size_t end = lf;
    if (end > start && text[end - 1] == '\r') --end;
    visit(text.substr(start, end - start));
    start = lf + 1;
  }
}

}  // namespace plindor::repair
