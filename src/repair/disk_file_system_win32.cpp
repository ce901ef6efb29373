// Keeps windows.h from defining min and max as macros, which would break std::min.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "repair/disk_file_system.h"
#include "repair/repair_error.h"
#include "repair/unique_handle.h"
#include "repair/win32_file.h"

namespace plindor::repair {

namespace {

// The largest single ReadFile or WriteFile; longer transfers loop.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

std::string ToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), size, nullptr, nullptr);
  return out;
}

// The system's own text for an error code, in the user's language, without its final period
// and line end so that it reads like the rest of the message.
std::string ErrorText(DWORD error) {
  wchar_t buffer[512];
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       0, buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
  std::wstring_view text(buffer, length);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                           text.back() == L'.')) {
    text.remove_suffix(1);
  }
  if (text.empty()) return "error " + std::to_string(error);
  return ToUtf8(text);
}

// Every failure reads "<action> "<path as given>"[ <detail>]: <reason>".
[[noreturn]] void Fail(std::string_view action, const std::string& path, std::string_view detail,
                       std::string_view reason) {
  std::string message(action);
  message += " \"" + path + "\"";
  if (!detail.empty()) message.append(" ").append(detail);
  message.append(": ").append(reason);
  throw RepairError(message);
}

[[noreturn]] void Fail(std::string_view action, const std::string& path, DWORD error) {
  Fail(action, path, {}, ErrorText(error));
}

OVERLAPPED At(LONGLONG offset) {
  OVERLAPPED at{};
  const auto position = static_cast<ULONGLONG>(offset);
  at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  return at;
}

// Writes all of `data` at `offset`. Returns 0 or the error of the failure.
DWORD WriteAllAt(HANDLE file, std::string_view data, LONGLONG offset) {
  std::size_t done = 0;
  while (done < data.size()) {
    const auto chunk = static_cast<DWORD>(std::min(data.size() - done, kMaxTransfer));
    OVERLAPPED at = At(offset + static_cast<LONGLONG>(done));
    DWORD written = 0;
    if (!::WriteFile(file, data.data() + done, chunk, &written, &at)) return ::GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    done += written;
  }
  return 0;
}

// Reads [offset, offset + size) or until the end of the file.
DWORD ReadAllAt(HANDLE file, LONGLONG offset, std::size_t size, std::string& out) {
  out.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const auto chunk = static_cast<DWORD>(std::min(size - done, kMaxTransfer));
    OVERLAPPED at = At(offset + static_cast<LONGLONG>(done));
    DWORD got = 0;
    if (!::ReadFile(file, out.data() + done, chunk, &got, &at)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      return error;
    }
    if (got == 0) break;
    done += got;
  }
  out.resize(done);
  return 0;
}

// Sets the file's length; returns 0 or the error.
DWORD SetSize(HANDLE file, LONGLONG size) {
  FILE_END_OF_FILE_INFO info{};
  info.EndOfFile.QuadPart = size;
  if (::SetFileInformationByHandle(file, FileEndOfFileInfo, &info, sizeof info)) return 0;
  return ::GetLastError();
}

class ReadingStream final : public TextStream {
 public:
  ReadingStream(UniqueHandle file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}

  std::string ReadAll() override {
    RequireOpen();
    std::string text;
    LARGE_INTEGER known{};
    if (::GetFileSizeEx(file_.get(), &known) && known.QuadPart > 0) {
      text.reserve(static_cast<std::size_t>(known.QuadPart));
    }
    // Read to the end rather than trusting the size: the file may change under us.
    std::size_t size = 0;
    while (true) {
      if (text.size() - size < 65536) text.resize(std::max<std::size_t>(size + 65536, size * 2));
      const auto chunk = static_cast<DWORD>(std::min(text.size() - size, kMaxTransfer));
      DWORD got = 0;
      if (!::ReadFile(file_.get(), text.data() + size, chunk, &got, nullptr)) {
        Fail("cannot read", path_, ::GetLastError());
      }
      if (got == 0) break;
      size += got;
    }
    text.resize(size);
    return text;
  }

  void Write(std::string_view) override {
    Fail("cannot write", path_, {}, "the file is open for reading");
  }

  void Close() override {
    RequireOpen();
    if (!::CloseHandle(file_.Release())) Fail("cannot close", path_, ::GetLastError());
  }

 private:
  void RequireOpen() const {
    if (!file_) Fail("cannot use", path_, {}, "the file is closed");
  }

  UniqueHandle file_;
  std::string path_;
};

// Rewrites a file in place. Each Write leaves the file holding exactly what the stream has
// written so far, or, when it fails, what it held before that Write.
class WritingStream final : public TextStream {
 public:
  WritingStream(UniqueHandle file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}

  std::string ReadAll() override { Fail("cannot read", path_, {}, "the file is open for writing"); }

  void Write(std::string_view text) override {
    RequireOpen();
    const HANDLE file = file_.get();
    const LONGLONG start = written_;
    const LONGLONG old_size = CurrentSize();

    std::string original;
    if (old_size > start) {
      if (const DWORD error =
              ReadAllAt(file, start, static_cast<std::size_t>(old_size - start), original)) {
        Fail("cannot read", path_, error);
      }
    }

    const LONGLONG end = start + static_cast<LONGLONG>(text.size());
    if (end > old_size) Reserve(end, old_size);

    if (const DWORD error = WriteAllAt(file, text, start))
      Restore(original, start, old_size, error);
    if (end < CurrentSize()) {
      if (const DWORD error = SetSize(file, end)) Restore(original, start, old_size, error);
    }
    written_ = end;
  }

  void Close() override {
    RequireOpen();
    // A file opened for writing and closed without a Write ends up empty, as promised.
    if (written_ == 0 && CurrentSize() != 0) {
      if (const DWORD error = SetSize(file_.get(), 0)) Fail("cannot write", path_, error);
    }
    if (!::CloseHandle(file_.Release())) Fail("cannot close", path_, ::GetLastError());
  }

 private:
  void RequireOpen() const {
    if (!file_) Fail("cannot use", path_, {}, "the file is closed");
  }

  LONGLONG CurrentSize() const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file_.get(), &size)) Fail("cannot write", path_, ::GetLastError());
    return size.QuadPart;
  }

  // Claims the disk space for a file of `end` bytes before any byte changes, so a full disk
  // fails here with the content untouched. The file's length stays as it is.
  void Reserve(LONGLONG end, LONGLONG old_size) {
    FILE_ALLOCATION_INFO info{};
    info.AllocationSize.QuadPart = end;
    if (::SetFileInformationByHandle(file_.get(), FileAllocationInfo, &info, sizeof info)) return;
    const DWORD error = ::GetLastError();
    // File systems that can't reserve space report it one of these ways; the write then
    // proceeds unreserved, as it would anywhere else.
    if (error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_FUNCTION ||
        error == ERROR_NOT_SUPPORTED || error == ERROR_CALL_NOT_IMPLEMENTED) {
      return;
    }
    if (CurrentSize() != old_size) (void)SetSize(file_.get(), old_size);
    Fail("cannot write", path_, error);
  }

  // Puts back the bytes this Write overwrote and the old length, then reports `error`.
  [[noreturn]] void Restore(const std::string& original, LONGLONG start, LONGLONG old_size,
                            DWORD error) {
    DWORD restore_error = WriteAllAt(file_.get(), original, start);
    if (restore_error == 0) restore_error = SetSize(file_.get(), old_size);
    if (restore_error != 0) {
      Fail("cannot write", path_, {},
           ErrorText(error) +
               "; putting its original content back failed too: " + ErrorText(restore_error));
    }
    Fail("cannot write", path_, error);
  }

  UniqueHandle file_;
  std::string path_;
  LONGLONG written_ = 0;
};

}  // namespace

DiskFileSystem::DiskFileSystem() = default;

// A project saved on an older system names its files in the ANSI code page, so a path that is
// not valid UTF-8 is read in that code page. An embedded NUL would silently cut the name short.
bool ToWidePath(const std::string& path, std::wstring& out) {
  out.clear();
  if (path.empty()) return true;
  if (path.find('\0') != std::string::npos || path.size() > INT_MAX) return false;
  const int length = static_cast<int>(path.size());
  for (const UINT code_page : {UINT{CP_UTF8}, UINT{CP_ACP}}) {
    const DWORD flags = code_page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    const int size = ::MultiByteToWideChar(code_page, flags, path.data(), length, nullptr, 0);
    if (size <= 0) continue;
    out.resize(static_cast<std::size_t>(size));
    ::MultiByteToWideChar(code_page, flags, path.data(), length, out.data(), size);
    return true;
  }
  return false;
}

UniqueHandle OpenDiskFile(const std::string& path, IoMode mode) {
  const bool reading = mode == IoMode::kForReading;
  const std::string_view detail = reading ? "for reading" : "for writing";
  std::wstring wide;
  if (!ToWidePath(path, wide)) Fail("cannot open", path, detail, ErrorText(ERROR_INVALID_NAME));

  // Writing lets others read meanwhile but not write; reading shuts nobody out.
  const DWORD access = reading ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  const DWORD share =
      reading ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ;
  UniqueHandle file(::CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    // A folder can't be opened as a file at all; say so rather than "access denied".
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      Fail("cannot open", path, detail, "Is a directory");
    }
    Fail("cannot open", path, detail, ErrorText(error));
  }
  // Devices (NUL, CON, COM1, pipes) would read forever, block or swallow the text.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
    Fail("cannot open", path, detail, "not a regular file");
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.get(), &info)) {
    Fail("cannot open", path, detail, ErrorText(::GetLastError()));
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    Fail("cannot open", path, detail, "Is a directory");
  }
  // Windows refuses to open a read-only file for writing even to administrators; say the same
  // where an emulation with more rights (Wine run as root) would let it through.
  if (!reading && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    Fail("cannot open", path, detail, ErrorText(ERROR_ACCESS_DENIED));
  }
  return file;
}

std::unique_ptr<TextStream> DiskFileSystem::OpenTextFile(const std::string& path, IoMode mode) {
  UniqueHandle file = OpenDiskFile(path, mode);
  if (mode == IoMode::kForReading) return std::make_unique<ReadingStream>(std::move(file), path);
  return std::make_unique<WritingStream>(std::move(file), path);
}

}  // namespace plindor::repair
