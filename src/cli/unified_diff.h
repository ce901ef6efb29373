#pragma once

#include <string>
#include <string_view>

namespace plindor::cli {

// `name` as a diff header names a file: as it is when it holds only printable ASCII other than
// the double quote and backslash, else in double quotes with C escapes (\n, \t, \", \\, and
// octal \ooo for other bytes), the way GNU diff writes such names and GNU patch reads them.
// No name can then end its header line or start another.
std::string QuotedDiffName(std::string_view name);

// The change from `before` to `after` as a unified diff of lines with three lines of context,
// headed "--- <name>" and "+++ <name>", the name quoted as QuotedDiffName does (an in-place
// change, as `patch -p0` applies it). Empty when the texts are equal. Lines end at LF; every
// other byte, CR and NUL included, is copied as it is. A last line without LF is marked
// "\ No newline at end of file". Texts with the same number of lines, as the repair always
// leaves them, are compared line by line in linear time; others become one hunk that replaces
// every line.
std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after);

}  // namespace plindor::cli
