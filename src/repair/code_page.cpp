#include "repair/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <stdexcept>

namespace plindor::repair {

namespace {

std::atomic<unsigned> name_code_page{kDefaultCodePage};

// The name the C library's iconv knows a Windows code page by.
std::string IconvName(unsigned number) { return "CP" + std::to_string(number); }

class Converter final {
 public:
  explicit Converter(const std::string& from) : handle_(::iconv_open("UTF-8", from.c_str())) {}
  ~Converter() {
    if (valid()) ::iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // `bytes` as UTF-8; nothing when they are not text in the converter's encoding.
  std::optional<std::string> ToUtf8(std::string_view bytes) const {
    std::string out(bytes.size() + 16, '\0');
    char* in_at = const_cast<char*>(bytes.data());  // iconv's signature; it only reads
    std::size_t in_left = bytes.size();
    std::size_t done = 0;
    // The second pass with no input lets a stateful encoding close its last character.
    for (bool flush = false;;) {
      char* out_at = out.data() + done;
      std::size_t out_left = out.size() - done;
      const std::size_t result = flush ? ::iconv(handle_, nullptr, nullptr, &out_at, &out_left)
                                       : ::iconv(handle_, &in_at, &in_left, &out_at, &out_left);
      done = out.size() - out_left;
      if (result == static_cast<std::size_t>(-1)) {
        if (errno != E2BIG) return std::nullopt;  // EILSEQ, EINVAL: not text in it
        out.resize(out.size() * 2);
        continue;
      }
      if (flush) break;
      flush = true;
    }
    out.resize(done);
    return out;
  }

 private:
  iconv_t handle_;
};

}  // namespace

bool IsKnownCodePage(unsigned number) { return Converter(IconvName(number)).valid(); }

unsigned CodePageFromSetting(const char* setting, std::string_view what) {
  if (setting == nullptr || *setting == '\0') return kDefaultCodePage;
  const std::string_view text(setting);
  unsigned number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || !IsKnownCodePage(number)) {
    throw std::invalid_argument((what.empty() ? "" : std::string(what) + ": ") + "\"" +
                                std::string(text) +
                                "\" is not a Windows code page this system can read (for "
                                "example 1252, 1250, 932)");
  }
  return number;
}

void SetNameCodePage(unsigned number) {
  if (!IsKnownCodePage(number)) {
    throw std::invalid_argument("code page " + std::to_string(number) +
                                " is not one this system can read");
  }
  name_code_page = number;
}

unsigned NameCodePage() { return name_code_page; }

bool IsUtf8(std::string_view bytes) {
  // Nearly every name is ASCII: no need to ask the converter.
  if (std::ranges::all_of(bytes, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return true;
  }
  return Converter("UTF-8").ToUtf8(bytes).has_value();
}

std::optional<std::string> DecodeCodePage(std::string_view bytes, unsigned number) {
  const Converter converter(IconvName(number));
  if (!converter.valid()) return std::nullopt;
  return converter.ToUtf8(bytes);
}

}  // namespace plindor::repair
