#pragma once

#include <string>

#include "temp_dir.h"

namespace plindor::testing {

// A project saved by a pre-release build: two forms (one in a subfolder, named the Windows
// way) and one user control, each with a reference the repair rewrites.
inline constexpr char kOldProject[] =
    "Type=Exe\r\n"
    "Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX\r\n"
    "Form=Main.frm\r\n"
    "Form=Forms\\Other.frm\r\n"
    "UserControl=Gauge.ctl\r\n"
    "Name=\"Sample\"\r\n";
inline constexpr char kNewProject[] =
    "Type=Exe\r\n"
    "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\r\n"
    "Form=Main.frm\r\n"
    "Form=Forms\\Other.frm\r\n"
    "UserControl=Gauge.ctl\r\n"
    "Name=\"Sample\"\r\n";
inline constexpr char kOldComponent[] =
    "VERSION 5.00\r\n"
    "Object = \"{6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0\"; \"MSCOMCTL.OCX\"\r\n"
    "   Begin ComctlLib.ListView ListView1\r\n";
inline constexpr char kNewComponent[] =
    "VERSION 5.00\r\n"
    "Object = \"{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0\"; \"MSCOMCTL.OCX\"\r\n"
    "   Begin MSComctlLib.ListView ListView1\r\n";

inline constexpr const char* kComponents[] = {"Main.frm", "Forms/Other.frm", "Gauge.ctl"};

// Writes the sample into `folder` and returns the project's full path.
inline std::string WriteSampleProject(const TempDir& folder) {
  WriteFile(folder / "App.vbp", kOldProject);
  for (const char* component : kComponents) WriteFile(folder / component, kOldComponent);
  return folder / "App.vbp";
}

}  // namespace plindor::testing
