#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <string>
#include <system_error>

#include <version/version_record.h>

namespace plindor::cli {

namespace {

constexpr char kDescription[] =
    "Repairs Visual Basic 6 projects saved by pre-release builds: rewrites the control-library "
    "references in each project file and in every form and user control it lists, in place.";

constexpr char kFooter[] =
    "Each PATH is a project file, or with --recursive a folder searched for project files\n"
    "(*.vbp in any letter case, in sorted order). Component paths resolve against the\n"
    "project's own folder. Progress goes to standard output, one line per file.\n"
    "\n"
    "Exit status: 0 every project was repaired (or would be), 1 any project failed,\n"
    "2 usage error.\n"
    "\n"
    "Examples:\n"
    "  plindor-cli --dry-run --recursive legacy/\n"
    "      Report what would change, writing nothing.\n"
    "  plindor-cli --diff legacy/App.vbp > fix.patch\n"
    "      Write the changes as a patch instead of making them.\n"
    "  plindor-cli --quiet --recursive legacy/\n"
    "      Repair every project found; print only the ones that failed.";

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                             std::ostream& err) {
  Options options;
  CLI::App app(kDescription, "plindor-cli");
  app.set_version_flag("--version",
                       std::string(version::kProductName) + " " + version::kProductVersion,
                       "Print the product name and version and exit");
  app.add_option("PATH", options.paths, "Project file, or with --recursive a folder")
      ->required()
      ->check(CLI::ExistingPath);
  app.add_flag("-r,--recursive", options.recursive,
               "Search folders given as PATH, and their subfolders, for project files");
  auto* dry_run =
      app.add_flag("-n,--dry-run", options.dry_run,
                   "Read everything, write nothing; report per file how many references each "
                   "rule would replace, and list the files that would stay the same");
  app.add_flag("-d,--diff", options.diff,
               "Write nothing; print a unified diff of what would change (apply it with "
               "'patch -p0' from the same folder)")
      ->excludes(dry_run);
  app.add_flag("-q,--quiet", options.quiet, "Print only failures");
  app.footer(kFooter);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e, out, err);
    return {std::nullopt, status == 0 ? kExitSuccess : kExitUsage};
  }

  if (!options.recursive) {
    for (const std::string& path : options.paths) {
      std::error_code ignored;
      if (std::filesystem::is_directory(path, ignored)) {
        err << "PATH: " << path << " is a folder; search it with --recursive\n"
            << "Run with --help for more information.\n";
        return {std::nullopt, kExitUsage};
      }
    }
  }
  return {options, kExitSuccess};
}

}  // namespace plindor::cli
