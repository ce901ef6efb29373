#pragma once

#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "desktop/project_chooser.h"

namespace plindor::testing {

// Answers the run's requests for a project from a script instead of a user, and records where
// each dialog would have started. The script outlives the chooser, which a window may own.
class ScriptedChooser final : public desktop::ProjectChooser {
 public:
  struct Script {
    // In order; nothing cancels, and so does a request past the last answer.
    std::deque<std::optional<std::string>> answers;
    // When set, the next request fails with it, as a dialog that cannot be shown.
    std::optional<std::string> failure;
    std::vector<std::string> asked_from;
  };

  explicit ScriptedChooser(Script& script) : script_(script) {}

  std::optional<std::string> ChooseProject(const std::string& start) override {
    script_.asked_from.push_back(start);
    if (script_.failure) throw std::runtime_error(*std::exchange(script_.failure, std::nullopt));
    if (script_.answers.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(script_.answers.front());
    script_.answers.pop_front();
    return answer;
  }

 private:
  Script& script_;
};

}  // namespace plindor::testing
