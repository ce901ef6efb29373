// Keeps windows.h from defining min and max as macros, which would break std::min.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "repair/ascii.h"
#include "repair/disk_file.h"
#include "repair/unique_handle.h"
#include "repair/wide_text.h"

namespace plindor::repair {

namespace {

// The largest single ReadFile or WriteFile; longer transfers loop.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

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
  return Utf8FromWide(text);
}

Status Failed(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
      return Status(ErrorText(error), Status::Kind::kDenied);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return Status(ErrorText(error), Status::Kind::kHeld);
    default:
      return Status(ErrorText(error));
  }
}
Status LastError() { return Failed(::GetLastError()); }

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

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Absolute: "C:\...", "\\server\...", or "\..." (the current drive's root).
bool IsAbsolute(std::wstring_view path) {
  if (!path.empty() && IsSeparator(path.front())) return true;
  return path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]);
}

// Names Windows gives to devices in every folder (CON, NUL, COM1, ...), with any extension,
// and the device namespace itself: opening one alone can have effects.
bool NamesADevice(std::wstring_view path) {
  if (path.starts_with(L"\\\\.\\") || path.starts_with(L"//./") ||
      path.starts_with(L"\\\\?\\GLOBALROOT")) {
    return true;
  }
  const std::size_t start = path.find_last_of(L"\\/:");
  std::wstring_view name = path.substr(start == std::wstring_view::npos ? 0 : start + 1);
  name = name.substr(0, name.find(L'.'));
  while (!name.empty() && name.back() == L' ') name.remove_suffix(1);
  std::string narrow;
  for (const wchar_t c : name) {
    if (c > 0x7F) return false;
    narrow += static_cast<char>(c);
  }
  for (const std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (EqualsIgnoringAsciiCase(narrow, device)) return true;
  }
  return narrow.size() == 4 &&
         (StartsWithIgnoringAsciiCase(narrow, "COM") ||
          StartsWithIgnoringAsciiCase(narrow, "LPT")) &&
         narrow[3] >= '0' && narrow[3] <= '9';
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

Status WriteAll(HANDLE file, std::uint64_t offset, std::string_view data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const auto chunk = static_cast<DWORD>(std::min(data.size() - done, kMaxTransfer));
    OVERLAPPED at = At(offset + done);
    DWORD written = 0;
    if (!::WriteFile(file, data.data() + done, chunk, &written, &at)) return LastError();
    if (written == 0) return Failed(ERROR_WRITE_FAULT);
    done += written;
  }
  return {};
}

Status ReadToEnd(HANDLE file, std::string& out) {
  out.clear();
  LARGE_INTEGER known{};
  if (::GetFileSizeEx(file, &known) && known.QuadPart > 0) {
    out.reserve(static_cast<std::size_t>(known.QuadPart) + 1);
  }
  std::size_t size = 0;
  while (true) {
    if (out.size() - size < 65536) out.resize(std::max<std::size_t>(size + 65536, size * 2));
    const auto chunk = static_cast<DWORD>(std::min(out.size() - size, kMaxTransfer));
    OVERLAPPED at = At(size);
    DWORD got = 0;
    if (!::ReadFile(file, out.data() + size, chunk, &got, &at)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      return Failed(error);
    }
    if (got == 0) break;
    size += got;
  }
  out.resize(size);
  return {};
}

Status SetLength(HANDLE file, std::uint64_t size) {
  FILE_END_OF_FILE_INFO info{};
  info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (::SetFileInformationByHandle(file, FileEndOfFileInfo, &info, sizeof info)) return {};
  return LastError();
}

Status Identify(HANDLE file, FileStamp& out) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) return LastError();
  out.volume = info.dwVolumeSerialNumber;
  out.id = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  out.size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  out.modified =
      static_cast<std::int64_t>(std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32 |
                                info.ftLastWriteTime.dwLowDateTime);
  return {};
}

// The owner of what `file` is open on; empty where it can't be told.
std::basic_string<BYTE> OwnerOf(HANDLE file) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  std::basic_string<BYTE> sid;
  if (owner != nullptr && ::IsValidSid(owner)) {
    sid.assign(static_cast<const BYTE*>(owner), ::GetLengthSid(owner));
  }
  ::LocalFree(descriptor);
  return sid;
}

// The SID of the user this program runs as; empty where it can't be told.
std::basic_string<BYTE> CurrentUser() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  const UniqueHandle owned(token);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string buffer(size, '\0');
  if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  return {static_cast<const BYTE*>(sid), ::GetLengthSid(sid)};
}

// "D:P(A;;FA;;;<the user's SID>)": a protected list that lets the user alone in.
std::wstring ForTheUserAlone() {
  std::basic_string<BYTE> user = CurrentUser();
  wchar_t* sid = nullptr;
  if (user.empty() || !::ConvertSidToStringSidW(user.data(), &sid)) return {};
  std::wstring descriptor = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
  ::LocalFree(sid);
  return descriptor;
}

// Whether `file` goes when its last handle closes.
Status MarkForDeletion(HANDLE file, bool gone) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = gone ? TRUE : FALSE;
  if (::SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info)) return {};
  return LastError();
}

}  // namespace

struct DiskFile::Handles {
  UniqueHandle file;
  UniqueHandle backup;
  std::wstring location;
  std::string location_utf8;
  std::wstring backup_location;
  std::string backup_name;
};

DiskFile::DiskFile(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
DiskFile::DiskFile(DiskFile&& other) noexcept = default;
DiskFile& DiskFile::operator=(DiskFile&& other) noexcept = default;
DiskFile::~DiskFile() = default;

Status DiskFile::Open(const std::string& base, const std::string& path, Access access,
                      std::optional<DiskFile>& out) {
  auto handles = std::make_unique<Handles>();
  std::wstring wide;
  if (!ToWidePath(path, wide)) return Failed(ERROR_INVALID_NAME);
  std::wstring location = wide;
  if (!base.empty() && !IsAbsolute(wide) && !(wide.size() >= 2 && wide[1] == L':')) {
    std::wstring folder;
    if (!ToWidePath(base, folder)) return Failed(ERROR_INVALID_NAME);
    if (!folder.empty() && !IsSeparator(folder.back())) folder += L'\\';
    location = folder + wide;
  }

  // Opening alone has effects on some devices: look at the name first, then at a handle that
  // asks for no access and doesn't follow a link.
  if (NamesADevice(location)) return Status("not a regular file");
  const UniqueHandle named(::CreateFileW(
      location.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!named) return LastError();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(named.get(), &info)) return LastError();
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Status(ErrorText(ERROR_ACCESS_DENIED));
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
      ::GetFileType(named.get()) != FILE_TYPE_DISK) {
    return Status("not a regular file");
  }
  // Windows refuses to open a read-only file for writing even to administrators; say the same
  // where an emulation with more rights (Wine run as root) would let it through.
  const bool writing = access == Access::kReadWrite;
  if (writing && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return Failed(ERROR_ACCESS_DENIED);
  }

  // That very file. Others may read meanwhile, but not write, rename or delete.
  const DWORD rights = writing ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const DWORD sharing = writing ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
  handles->file = UniqueHandle(::ReOpenFile(named.get(), rights, sharing, 0));
  if (!handles->file) return LastError();

  const std::size_t name_start = location.find_last_of(L"\\/:");
  handles->backup_name = Utf8FromWide(std::wstring_view(location).substr(
                             name_start == std::wstring::npos ? 0 : name_start + 1)) +
                         kBackupSuffix;
  handles->backup_location =
      location + std::wstring(std::begin(kBackupSuffix), std::end(kBackupSuffix) - 1);
  handles->location_utf8 = Utf8FromWide(location);
  handles->location = std::move(location);
  out.emplace(DiskFile(std::move(handles)));
  return {};
}

// The share modes of the open handle keep other runs out.
Status DiskFile::TryLock() { return {}; }

Status DiskFile::ReadAll(std::string& out) { return ReadToEnd(handles_->file.get(), out); }

Status DiskFile::Stamp(FileStamp& out) { return Identify(handles_->file.get(), out); }

Status DiskFile::StampAtName(FileStamp& out) {
  // No access asked for, so the share modes of the open handle don't get in the way.
  const UniqueHandle named(::CreateFileW(
      handles_->location.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!named) return LastError();
  return Identify(named.get(), out);
}

Status DiskFile::WriteAt(std::uint64_t offset, std::string_view data) {
  return WriteAll(handles_->file.get(), offset, data);
}

Status DiskFile::Reserve(std::uint64_t size) {
  // An allocation below the file's length would cut the file: only growth is claimed. The
  // allocation leaves the length readers see as it is.
  LARGE_INTEGER current{};
  if (!::GetFileSizeEx(handles_->file.get(), &current)) return LastError();
  if (size <= static_cast<std::uint64_t>(current.QuadPart)) return {};
  FILE_ALLOCATION_INFO info{};
  info.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
  if (::SetFileInformationByHandle(handles_->file.get(), FileAllocationInfo, &info, sizeof info)) {
    return {};
  }
  const DWORD error = ::GetLastError();
  // File systems that can't reserve space report it one of these ways.
  if (error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_FUNCTION ||
      error == ERROR_NOT_SUPPORTED || error == ERROR_CALL_NOT_IMPLEMENTED) {
    return {};
  }
  return Failed(error);
}

Status DiskFile::Truncate(std::uint64_t size) { return SetLength(handles_->file.get(), size); }

Status DiskFile::Flush() {
  if (!::FlushFileBuffers(handles_->file.get())) return LastError();
  return {};
}

Status DiskFile::Volume(VolumeFacts& out) {
  out = {};
  return {};
}

std::uint64_t DiskFile::PhysicalMemory() {
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof memory;
  if (!::GlobalMemoryStatusEx(&memory)) return UINT64_MAX;
  return memory.ullTotalPhys;
}

const std::string& DiskFile::location() const { return handles_->location_utf8; }

// Links are never followed here: the name is the one found.
std::string DiskFile::target_name() const {
  const std::string& location = handles_->location_utf8;
  return location.substr(location.find_last_of("\\/:") + 1);
}

const std::string& DiskFile::backup_name() const { return handles_->backup_name; }

Status DiskFile::CreateBackup() {
  // Its owner alone may read or change it: it holds what the file held.
  PSECURITY_DESCRIPTOR owner_only = nullptr;
  const std::wstring descriptor = ForTheUserAlone();
  if (descriptor.empty() || !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                descriptor.c_str(), SDDL_REVISION_1, &owner_only, nullptr)) {
    return LastError();
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, owner_only, FALSE};
  handles_->backup =
      UniqueHandle(::CreateFileW(handles_->backup_location.c_str(), GENERIC_WRITE | DELETE, 0,
                                 &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  const DWORD error = ::GetLastError();
  ::LocalFree(owner_only);
  if (!handles_->backup) return Failed(error);
  // Gone with its handle until it is whole, so that a kill never leaves half a backup.
  return MarkForDeletion(handles_->backup.get(), true);
}

Status DiskFile::WriteBackupAt(std::uint64_t offset, std::string_view data) {
  return WriteAll(handles_->backup.get(), offset, data);
}

Status DiskFile::PublishBackup() { return MarkForDeletion(handles_->backup.get(), false); }

Status DiskFile::FlushBackup() {
  // Flushing the file also commits its name to the volume's journal.
  if (!::FlushFileBuffers(handles_->backup.get())) return LastError();
  return {};
}

Status DiskFile::FlushTogether(std::span<DiskFile* const> files) {
  // Windows flushes a volume at once only for administrators; file by file it is.
  for (DiskFile* file : files) {
    for (const HANDLE handle : {file->handles_->file.get(), file->handles_->backup.get()}) {
      if (handle != INVALID_HANDLE_VALUE && !::FlushFileBuffers(handle)) return LastError();
    }
  }
  return {};
}

Status DiskFile::ReadBackup(std::optional<FoundBackup>& out) {
  out.reset();
  const UniqueHandle backup(::CreateFileW(handles_->backup_location.c_str(),
                                          GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!backup) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {};
    return Failed(error);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(backup.get(), &info)) return LastError();
  FoundBackup found;
  found.size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  found.regular =
      ::GetFileType(backup.get()) == FILE_TYPE_DISK &&
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
  found.links = info.nNumberOfLinks;
  const std::basic_string<BYTE> owner = OwnerOf(backup.get());
  found.owner_trusted =
      !owner.empty() && (owner == OwnerOf(handles_->file.get()) || owner == CurrentUser());
  if (found.regular && found.size <= MemoryLimit()) {
    if (Status status = ReadToEnd(backup.get(), found.bytes); !status.ok()) return status;
  }
  out = std::move(found);
  return {};
}

Status DiskFile::RemoveBackup() {
  handles_->backup.Reset();
  if (!::DeleteFileW(handles_->backup_location.c_str()) &&
      ::GetLastError() != ERROR_FILE_NOT_FOUND) {
    return LastError();
  }
  return {};
}

}  // namespace plindor::repair
