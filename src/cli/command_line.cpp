#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include <version/version_record.h>

#include "cli/terminal_text.h"
#include "cli/utf8_path.h"

namespace plindor::cli {

namespace {

constexpr char kDescription[] =
    "Repairs Visual Basic 6 projects saved by pre-release builds: rewrites the control-library "
    "references in each project file and in every form and user control it lists, in place.";

constexpr char kFooter[] =
    "Each PATH is a project file, a project group (*.vbg), or with --recursive a folder\n"
    "searched for project files (*.vbp in any letter case, in sorted order; groups only when\n"
    "named); a folder that can't be searched is an error and the others are searched all the\n"
    "same. A group is only read: the projects its Project= and StartupProject= lines name,\n"
    "from the group's folder, are repaired in the order listed, each as if named here (one\n"
    "that fails, or is missing, doesn't stop the next). A project reached twice from one\n"
    "folder (named twice, through a group, through a link) is repaired once. Component paths\n"
    "resolve against the folder the project is reached from.\n"
    "\n"
    "Progress goes to standard output, one line per file; control characters in names and\n"
    "messages are shown as C escapes (\\n, \\t, \\e, \\x1b), so a file is always one line.\n"
    "In diff headers a name with such characters, a quote, a backslash or non-ASCII bytes is\n"
    "quoted with C escapes, as GNU diff does and GNU patch reads.\n"
    "\n"
    "Each file is rewritten in place through the handle that read it, after a backup of the\n"
    "bytes about to change is on the disk (<name>.plindor-backup, removed once the new bytes\n"
    "are on the disk). A run that was interrupted leaves that backup; the next run puts the\n"
    "file back from it first where the backup proves that safe, and otherwise stops, saying\n"
    "why. Read-only files are not repaired. Ctrl-C waits until the files being rewritten are\n"
    "consistent.\n"
    "\n"
    "Exit status: 0 every project was repaired (or would be), 1 any project or folder failed\n"
    "or standard output could not be written (the repair goes on regardless), 2 usage error.\n"
    "With --check: 0 nothing would change, 1 any file would change or anything failed.\n"
    "\n"
    "Examples:\n"
    "  plindor-cli --dry-run --recursive legacy/\n"
    "      Report what would change, writing nothing.\n"
    "  plindor-cli --diff legacy/App.vbp > fix.patch\n"
    "      Write the changes as a patch instead of making them.\n"
    "  plindor-cli --quiet --recursive legacy/\n"
    "      Repair every project found; print only the ones that failed.\n"
    "  plindor-cli --check Tools.vbg\n"
    "      List what needs repair in every project of a project group.\n"
    "  plindor-cli --check --recursive .\n"
    "      In a CI job or a pre-commit hook: fail while any project still needs repair.";

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                             std::ostream& err) {
  Options options;
  CLI::App app(kDescription, "plindor-cli");
  app.set_version_flag("--version",
                       std::string(version::kProductName) + " " + version::kProductVersion,
                       "Print the product name and version and exit");
  app.add_option("PATH", options.paths,
                 "Project file or project group (.vbg), or with --recursive a folder")
      ->required()
      ->check(
          [](const std::string& path) {
            std::error_code error;
            if (std::filesystem::exists(PathFromUtf8(path), error)) return std::string();
            return "Path does not exist: " + ForTerminal(path);
          },
          "PATH");
  app.add_flag("-r,--recursive", options.recursive,
               "Search folders given as PATH, and their subfolders, for project files");
  auto* dry_run =
      app.add_flag("-n,--dry-run", options.dry_run,
                   "Read everything, write nothing; report per file how many references each "
                   "rule would replace, and list the files that would stay the same");
  auto* diff = app.add_flag("-d,--diff", options.diff,
                            "Write nothing; print a unified diff of what would change (apply it "
                            "with 'patch -p0' from the same folder)")
                   ->excludes(dry_run);
  app.add_flag("--check", options.check,
               "Read everything as --dry-run does, write nothing; print the path of each file "
               "that would change, one per line. On standard error: one line 'Error: PROJECT: "
               "MESSAGE' for each project that fails (the message the repair would give), and a "
               "summary that counts those projects apart and gives the command that repairs the "
               "others; exit 1 if any file would change or any project fails")
      ->excludes(dry_run)
      ->excludes(diff);
  app.add_flag("-q,--quiet", options.quiet, "Print only failures");
#ifndef _WIN32
  // Windows reads such names in its own ANSI code page.
  app.add_option("--codepage", options.code_page,
                 "The Windows code page (ANSI) the projects were saved in, such as 1250, 1251, "
                 "932 or 936: a component name that is not UTF-8 and names no file as its bytes "
                 "stand is read in it and looked up again (default: 1252)")
      ->check(
          [](const std::string& text) {
            try {
              repair::CodePageFromSetting(text.c_str(), "");
              return std::string();
            } catch (const std::invalid_argument& e) {
              return ForTerminal(e.what());
            }
          },
          "")
      ->type_name("N");
#endif
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
      if (std::filesystem::is_directory(PathFromUtf8(path), ignored)) {
        err << "PATH: " << ForTerminal(path) << " is a folder; search it with --recursive\n"
            << "Run with --help for more information.\n";
        return {std::nullopt, kExitUsage};
      }
    }
  }
  return {options, kExitSuccess};
}

}  // namespace plindor::cli
