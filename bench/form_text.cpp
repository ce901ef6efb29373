#include "form_text.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "repair/rules.h"

namespace plindor::bench {

namespace {

// One control block: a Begin line with the library prefix, eight property lines and End;
// about 300 bytes.
std::string ControlBlock(std::size_t n, std::string_view library) {
  const std::string name = "Control" + std::to_string(n);
  std::string block;
  block += "   Begin " + std::string(library) + ".ListView " + name + "\r\n";
  block += "      Height          =   2415\r\n";
  block += "      Left            =   120\r\n";
  block += "      TabIndex        =   " + std::to_string(n % 97) + "\r\n";
  block += "      Top             =   480\r\n";
  block += "      Width           =   4695\r\n";
  block += "      _ExtentX        =   8281\r\n";
  block += "      _ExtentY        =   4260\r\n";
  block += "      _Version        =   327682\r\n";
  block += "   End\r\n";
  return block;
}

std::string_view LibraryOf(std::size_t n) {
  switch (n % 10) {
    case 3:
      return "Comctl2";
    case 7:
      return "MSChartLib";
    default:
      return "ComctlLib";
  }
}

std::string FormText(std::size_t size, bool repaired) {
  std::string text = "VERSION 5.00\r\n";
  std::size_t n = 0;
  while (text.size() < size) {
    if (n % 64 == 0) {
      // Every old reference line, in turn.
      const std::string_view find = repair::kComponentRules[(n / 64 % 3) * 2].find;
      text.append(find).append("\r\n");
    }
    text += ControlBlock(n, LibraryOf(n));
    ++n;
  }
  if (repaired) text = repair::ApplyRules(text, repair::kComponentRules);
  text.resize(size);
  return text;
}

}  // namespace

std::string FormLikeText(std::size_t size) { return FormText(size, false); }

std::string RepairedFormText(std::size_t size) { return FormText(size, true); }

std::string DenseText(std::size_t size) {
  static constexpr std::string_view kPieces[] = {
      // Each exactly 20 bytes, one find text in each.
      "x ComctlLib.Tab 12\r\n",
      "yy Comctl2.Spin 1\r\n\r",
      "z MSChartLib.Chart\r\n",
  };
  std::string text;
  text.reserve(size + 20);
  for (std::size_t n = 0; text.size() < size; ++n) text.append(kPieces[n % 3]);
  text.resize(size);
  return text;
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::size_t WriteProject(const std::filesystem::path& folder, std::size_t forms,
                         std::size_t form_size) {
  std::filesystem::create_directories(folder);
  const std::string form = FormLikeText(form_size);
  std::string project = "Type=Exe\r\n";
  project +=
      "Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX\r\n"
      "Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb#OLE Automation\r\n";
  for (std::size_t i = 1; i <= forms; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Form%04zu.frm", i);
    WriteText(folder / name, form);
    project += "Form=" + std::string(name) + "\r\n";
  }
  project += "Startup=\"Form0001\"\r\nName=\"Generated\"\r\n";
  WriteText(folder / "Project.vbp", project);
  return forms * form_size;
}

}  // namespace plindor::bench
