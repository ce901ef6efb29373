#pragma once

#include <string>
#include <string_view>

namespace plindor::cli {

// The change from `before` to `after` as a unified diff of lines with three lines of context,
// headed "--- <name>" and "+++ <name>" (an in-place change, as `patch -p0` applies it). Empty
// when the texts are equal. Lines end at LF; every other byte, CR and NUL included, is copied
// as it is. A last line without LF is marked "\ No newline at end of file". Texts with the
// same number of lines, as the repair always leaves them, are compared line by line in linear
// time; others get a shortest edit script.
std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after);

}  // namespace plindor::cli
