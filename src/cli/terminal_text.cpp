#include "cli/terminal_text.h"

#include <cstddef>

namespace plindor::cli {

namespace {

void Escape(unsigned char byte, std::string& out) {
  switch (byte) {
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    case 0x1B:
      out += "\\e";
      return;
    default:
      constexpr char kHex[] = "0123456789abcdef";
      out.append("\\x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 0xF]);
  }
}

// The length of the UTF-8 sequence starting at `text[at]`, or 0 when none starts there.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace

std::string ForTerminal(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = byte >= 0x80 ? SequenceLength(text, i) : 0;
    if (length > 0) {
      // U+0080 to U+009F: a UTF-8 terminal takes U+009B as the start of a control sequence.
      const bool control = byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
      for (std::size_t k = 0; k < length; ++k) {
        if (control) {
          Escape(static_cast<unsigned char>(text[i + k]), out);
        } else {
          out += text[i + k];
        }
      }
      i += length;
      continue;
    }
    // A byte of no UTF-8 sequence: 0x80 to 0x9F are controls to a Latin-1 terminal.
    if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0x9F)) {
      Escape(byte, out);
    } else {
      out += static_cast<char>(byte);
    }
    ++i;
  }
  return out;
}

}  // namespace plindor::cli
