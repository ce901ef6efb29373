// Drives the engine from the command line for bench/compare: makes the test files, repairs
// them the way the windows do, and prints the same six substitutions as a GNU sed script so
// that the comparison runs exactly the same rules.
#include <fcntl.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstddef>
#include <exception>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "form_text.h"
#include "repair/disk_file_system.h"
#include "repair/progress_log.h"
#include "repair/repairer.h"
#include "repair/rules.h"

namespace plindor::bench {
namespace {

class NullLog final : public repair::ProgressLog {
 public:
  void Append(std::string_view) override {}
};

// Escapes a find text for a basic regular expression with '/' as the delimiter.
std::string SedPattern(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (std::string_view(".[]*^$\\/").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

std::string SedReplacement(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '&' || c == '\\' || c == '/') out += '\\';
    out += c;
  }
  return out;
}

// What the safe rewrite of a small file pays the disk at the least: its backup, then the file.
// Each file is written, flushed, overwritten and flushed again; only the flushes are timed.
double TwoFlushesMicroseconds(const std::filesystem::path& folder, std::size_t files) {
  const std::string text(20 * 1024, 'x');
  std::chrono::steady_clock::duration flushing{};
  for (std::size_t i = 0; i < files; ++i) {
    const std::filesystem::path path = folder / ("flush-" + std::to_string(i));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("cannot create " + path.string());
    for (int round = 0; round < 2; ++round) {
      if (::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
        throw std::runtime_error("cannot write " + path.string());
      }
      const auto start = std::chrono::steady_clock::now();
      if (::fdatasync(fd) != 0) throw std::runtime_error("cannot flush " + path.string());
      flushing += std::chrono::steady_clock::now() - start;
    }
    ::close(fd);
    std::filesystem::remove(path);
  }
  return std::chrono::duration<double, std::micro>(flushing).count() / static_cast<double>(files);
}

int Run(int argc, char** argv) {
  CLI::App app{"Benchmark driver for the Plindor repair engine"};
  app.require_subcommand(1);

  std::vector<std::string> forms;
  auto* repair_forms = app.add_subcommand("repair-forms", "Repair form files in place");
  repair_forms->add_option("files", forms, "Form or user-control files")->required();

  std::string project;
  auto* repair_project =
      app.add_subcommand("repair-project", "Repair a project and the forms it lists");
  repair_project->add_option("project", project, "Project file")
      ->required()
      ->check(CLI::ExistingFile);

  std::string form_path;
  std::size_t size = 64 * 1024 * 1024;
  auto* make_form = app.add_subcommand("make-form", "Write a form-like file");
  make_form->add_option("file", form_path, "File to write")->required();
  make_form->add_option("--size", size, "Exact size in bytes")->capture_default_str();

  std::string folder;
  std::size_t form_count = 2000;
  std::size_t form_size = 20 * 1024;
  auto* make_project = app.add_subcommand("make-project", "Write a project of form-like files");
  make_project->add_option("folder", folder, "Folder to write into")->required();
  make_project->add_option("--forms", form_count, "Number of forms")->capture_default_str();
  make_project->add_option("--form-size", form_size, "Bytes per form")->capture_default_str();

  auto* sed_script = app.add_subcommand("sed-script", "Print the component rules for sed -i");

  std::string flush_folder;
  std::size_t flush_files = 500;
  auto* flush_cost =
      app.add_subcommand("flush-cost",
                         "Print the mean time, in microseconds, of two bare fdatasync calls on a "
                         "file of 20 KiB just written, in a folder");
  flush_cost->add_option("folder", flush_folder, "Folder on the disk to measure")->required();
  flush_cost->add_option("--files", flush_files, "Files to average over")->capture_default_str();

  CLI11_PARSE(app, argc, argv);

  repair::DiskFileSystem files;
  NullLog log;
  if (*repair_forms) {
    repair::Repairer repairer(files, log);
    for (const std::string& form : forms) repairer.FixComponentFile(form);
  } else if (*repair_project) {
    // As the windows do: entries resolve against the project's folder.
    const std::filesystem::path path = std::filesystem::absolute(project);
    repair::Repairer(files, log, path.parent_path().string()).FixProjectFile(path.string());
  } else if (*make_form) {
    WriteText(form_path, FormLikeText(size));
  } else if (*make_project) {
    WriteProject(folder, form_count, form_size);
  } else if (*flush_cost) {
    std::cout << TwoFlushesMicroseconds(flush_folder, flush_files) << '\n';
  } else if (*sed_script) {
    // Case-insensitive as the engine: sed's I flag.
    for (const repair::Rule& rule : repair::kComponentRules) {
      std::cout << "s/" << SedPattern(rule.find) << '/' << SedReplacement(rule.replacement)
                << "/gI\n";
    }
  }
  return 0;
}

}  // namespace
}  // namespace plindor::bench

int main(int argc, char** argv) {
  try {
    return plindor::bench::Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "plindor_bench_driver: " << e.what() << '\n';
    return 1;
  }
}
