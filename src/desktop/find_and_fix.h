#pragma once

#include <string>

#include "desktop/project_chooser.h"
#include "repair/file_system.h"
#include "repair/progress_log.h"

namespace plindor::desktop {

// The main window's "Find It and Fix It!": the same run in every front end, which only shows it.
class FindAndFix final {
 public:
  // Borrows all three for its lifetime; the first dialog starts from `start` (the program's
  // folder).
  FindAndFix(ProjectChooser& chooser, repair::FileSystem& files, repair::ProgressLog& log,
             std::string start);

  // One run: asks for a project, remembers it as the next dialog's start, makes its folder
  // current, repairs it and closes the log with "Fixup completed." or the reason and "Fixup
  // stopped.". A cancelled dialog ends the run with nothing changed or logged. Returns whether a
  // repair ran and succeeded.
  bool Run();

  // Where the next dialog starts.
  const std::string& start() const { return start_; }

 private:
  ProjectChooser& chooser_;
  repair::FileSystem& files_;
  repair::ProgressLog& log_;
  std::string start_;
};

}  // namespace plindor::desktop
