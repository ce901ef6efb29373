#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "repair/rule.h"

namespace plindor::repair {

// Rewrites the control-library references of a project file.
extern const std::array<Rule, 3> kProjectRules;
// Rewrites the control-library references and class prefixes of form and user-control files.
extern const std::array<Rule, 6> kComponentRules;

// Applies each rule of `table` in order, each to the result of the one before: every
// non-overlapping occurrence of the find text, found left to right with the 26 ASCII letters
// compared without regard to case, becomes the replacement text exactly as written. Text a
// replacement inserts is not searched again by the same rule. Linear in the text's size.
// When `counts` is given (one entry per rule), each entry receives how many times its rule
// replaced its find text.
std::string ApplyRules(std::string_view text, std::span<const Rule> table,
                       std::span<std::size_t> counts = {});

}  // namespace plindor::repair
