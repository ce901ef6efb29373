#pragma once

#include <string>
#include <vector>

namespace plindor::cli {

// What the program arranges with the system before anything runs, undone when it ends:
// arguments as UTF-8 whatever the system hands over, output bytes passed on unchanged, and a
// closed pipe on standard output reported as a failed write rather than ending the run midway.
class ProcessSetup final {
 public:
  ProcessSetup(int argc, char** argv);
  ~ProcessSetup();
  ProcessSetup(const ProcessSetup&) = delete;
  ProcessSetup& operator=(const ProcessSetup&) = delete;

  // The arguments, the program's name first, in UTF-8.
  const std::vector<std::string>& arguments() const { return arguments_; }

 private:
  std::vector<std::string> arguments_;
  unsigned console_code_page_ = 0;  // to give back to the console, where one was changed
};

}  // namespace plindor::cli
