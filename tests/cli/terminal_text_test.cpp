#include "cli/terminal_text.h"

#include <gtest/gtest.h>

#include <string>

namespace plindor::cli {
namespace {

TEST(ForTerminal, EscapesEveryControlCharacterAndNothingElse) {
  struct Row {
    std::string text, shown;
  };
  for (const Row& row : {
           Row{"   fixing Forms\\Main.frm", "   fixing Forms\\Main.frm"},
           Row{"a\nb\rc\td", "a\\nb\\rc\\td"},
           Row{"\x1b[2JFixup completed.", "\\e[2JFixup completed."},
           Row{std::string("nul\0.frm", 8), "nul\\x00.frm"},
           Row{"del\x7f", "del\\x7f"},
           Row{"Gr\xc3\xb6\xc3\x9f"
               "e.frm",
               "Gr\xc3\xb6\xc3\x9f"
               "e.frm"},  // UTF-8 stays
           Row{"csi\xc2\x9b"
               "2J",
               "csi\\xc2\\x9b2J"},  // U+009B, a UTF-8 terminal's CSI
           Row{"raw\x9b"
               "2J",
               "raw\\x9b2J"},  // the same as one byte, in a Latin-1 terminal
           Row{"latin\xe9", "latin\xe9"},
       }) {
    EXPECT_EQ(ForTerminal(row.text), row.shown);
  }
}

}  // namespace
}  // namespace plindor::cli
