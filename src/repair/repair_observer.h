#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "repair/rules.h"

namespace plindor::repair {

enum class FileRole { kProject, kComponent };
enum class FileOutcome { kChanged, kUnchanged, kFailed };

// What the repair did to one file. The views live only as long as the call that hands them on.
struct FileReport {
  std::string_view path;      // as the project (or the caller, for the project) gave it
  std::string_view location;  // where it was found (empty when it wasn't)
  FileRole role;
  std::span<const Rule> table;          // the rules applied to it
  std::span<const std::size_t> counts;  // per rule, how many times it replaced its find text
  std::string_view before;              // the content read (empty when reading failed)
  std::string_view after;               // the content written (empty when the repair failed)
  FileOutcome outcome;
  std::string_view error;  // the failure's message, when the outcome is kFailed
};

// Told about each file the repair reaches, in order, once its repair has ended either way.
class RepairObserver {
 public:
  virtual ~RepairObserver() = default;
  virtual void OnFile(const FileReport& report) = 0;
};

}  // namespace plindor::repair
