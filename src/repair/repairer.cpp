#include "repair/repairer.h"

#include <cstddef>
#include <string_view>
#include <utility>

#include "repair/rules.h"

namespace plindor::repair {

namespace {

constexpr std::string_view kFormKey = "form=";
constexpr std::string_view kUserControlKey = "usercontrol=";

bool StartsWithIgnoringCase(std::string_view line, std::string_view key) {
  if (line.size() < key.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != key[i]) return false;
  }
  return true;
}

// Calls `visit` with each line of `text` without its line end. A line ends at LF, and a CR
// right before that LF belongs to the line end, so CR LF and LF-only projects read alike; a
// lone CR stays inside its line. A text ending in a line end has an empty last line, and the
// empty text has no lines.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  if (text.empty()) return;
  std::size_t start = 0;
  while (true) {
    const std::size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      visit(text.substr(start));
      return;
    }
    std::size_t end = lf;
    if (end > start && text[end - 1] == '\r') --end;
    visit(text.substr(start, end - start));
    start = lf + 1;
  }
}

}  // namespace

std::string Repairer::ReadWhole(const std::string& path) {
  const auto stream = files_.OpenTextFile(path, IoMode::kForReading);
  std::string text = stream->ReadAll();
  stream->Close();
  return text;
}

void Repairer::WriteWhole(const std::string& path, std::string_view text) {
  const auto stream = files_.OpenTextFile(path, IoMode::kForWriting);
  stream->Write(text);
  stream->Close();
}

void Repairer::FixComponentFile(const std::string& path) {
  log_.Append("   fixing " + path + "\r\n");
  // The original text is released as soon as the repaired one exists, so a large file is held
  // at most twice at any time.
  const std::string text = ApplyRules(ReadWhole(path), kComponentRules);
  WriteWhole(path, text);
}

void Repairer::FixProjectFile(const std::string& path) {
  log_.Append("Fixing " + path + "\r\n");
  const std::string text = ApplyRules(ReadWhole(path), kProjectRules);
  WriteWhole(path, text);
  ForEachLine(text, [this](std::string_view line) {
    if (StartsWithIgnoringCase(line, kFormKey)) {
      FixComponentFile(std::string(line.substr(kFormKey.size())));
    } else if (StartsWithIgnoringCase(line, kUserControlKey)) {
      FixComponentFile(std::string(line.substr(kUserControlKey.size())));
    }
  });
}

}  // namespace plindor::repair
