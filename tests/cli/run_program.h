#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace plindor::testing {

struct ProgramResult {
  int exit_status = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

struct RunOptions {
  // Run as the unprivileged user "nobody" when started as root, for whom permissions count.
  bool drop_root = false;
  // Standard output is a pipe whose reader is gone before the program starts, as with
  // `| head -c 0`: every write to it fails.
  bool closed_pipe = false;
};

// Runs `program` with `args` in the folder `cwd`, with no standard input, and collects what it
// wrote to standard output and standard error.
inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& cwd, RunOptions options = {}) {
  const TempDir capture;
  const std::string out_path = capture / "stdout";
  const std::string err_path = capture / "stderr";

  std::vector<char*> argv;
  std::string name = program;
  argv.push_back(name.data());
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int pipe_ends[2] = {-1, -1};
  if (options.closed_pipe) {
    if (::pipe(pipe_ends) != 0) throw std::runtime_error("pipe failed");
    ::close(pipe_ends[0]);  // no reader, ever
  }
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = options.closed_pipe
                        ? pipe_ends[1]
                        : ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
        ::dup2(err, 2) < 0 || ::chdir(cwd.c_str()) != 0) {
      ::_exit(127);
    }
    if (options.drop_root && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(127);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  if (options.closed_pipe) ::close(pipe_ends[1]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  ProgramResult result;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (!options.closed_pipe) result.out = ReadFile(out_path);
  result.err = ReadFile(err_path);
  return result;
}

}  // namespace plindor::testing
