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
  using enum Status::Kind;
  const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
  return Status(ErrorText(error), error == ERROR_ACCESS_DENIED ? kDenied : held ? kHeld : kFailed);
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
  FILE_BASIC_INFO times{};
  if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times))
    return LastError();
  out.modified = times.LastWriteTime.QuadPart;
  out.changed = times.ChangeTime.QuadPart;
  return {};
}

using Sid = std::basic_string<BYTE>;

// The owner of what `file` is open on (empty where it can't be told), and whether its access
// list lets anyone but that owner, `user` and those who may change any file change it.
struct Security {
  Sid owner;
  bool others_may_write = true;
};

Security SecurityOf(HANDLE file, const Sid& user) {
  PSID owner = nullptr;
  PACL access = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(file, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &access, nullptr, &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  const auto sid = [](void* at) {
    return at != nullptr && ::IsValidSid(at) ? Sid(static_cast<const BYTE*>(at), ::GetLengthSid(at))
                                             : Sid();
  };
  Security found{sid(owner), false};
  constexpr ACCESS_MASK kChanges = FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER |
                                   DELETE | GENERIC_WRITE | GENERIC_ALL;
  // No list at all lets everyone in.
  bool& others = found.others_may_write;
  others = access == nullptr;
  for (DWORD i = 0; !others && i < access->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    others = !::GetAce(access, i, reinterpret_cast<void**>(&ace));
    if (others || ace->AceType != ACCESS_ALLOWED_ACE_TYPE || (ace->AceFlags & INHERIT_ONLY_ACE)) {
      continue;
    }
    auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
    const Sid who = sid(&allowed->SidStart);
    // The system and administrators may change any file, whatever its list says.
    others = (allowed->Mask & kChanges) != 0 && who != found.owner && who != user &&
             !::IsWellKnownSid(&allowed->SidStart, WinLocalSystemSid) &&
             !::IsWellKnownSid(&allowed->SidStart, WinBuiltinAdministratorsSid);
  }
  ::LocalFree(descriptor);
  return found;
}

// The SID of the user this program runs as; empty where it can't be told.
Sid CurrentUser() {
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
  Sid user = CurrentUser();
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
  std::string name;
  std::string backup_name;

  HANDLE Of(Part part) const { return part == Part::kBackup ? backup.get() : file.get(); }
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
  // Windows refuses to write a read-only file even for administrators; say so where an
  // emulation with more rights (Wine run as root) would let it through.
  const bool writing = access == Access::kReadWrite;
  if (writing && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return Status("it is read-only", Status::Kind::kReadOnly);
  }

  // That very file. While it is rewritten no other program may write it, rename it or delete
  // it, nor read it halfway through.
  const DWORD rights = writing ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const DWORD sharing = writing ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
  handles->file = UniqueHandle(::ReOpenFile(named.get(), rights, sharing, 0));
  if (!handles->file) return LastError();

  // The name as it is on disk, whatever letter case the path gave it.
  std::wstring final_path(32768, L'\0');
  const DWORD length =
      ::GetFinalPathNameByHandleW(handles->file.get(), final_path.data(),
                                  static_cast<DWORD>(final_path.size()), FILE_NAME_NORMALIZED);
  const std::wstring_view found = length > 0 && length < final_path.size()
                                      ? std::wstring_view(final_path).substr(0, length)
                                      : std::wstring_view(location);
  handles->name = Utf8FromWide(found.substr(found.find_last_of(L"\\/:") + 1));
  handles->backup_name = handles->name + kBackupSuffix;
  handles->backup_location =
      location + std::wstring(std::begin(kBackupSuffix), std::end(kBackupSuffix) - 1);
  handles->location_utf8 = Utf8FromWide(location);
  handles->location = std::move(location);
  out.emplace(DiskFile(std::move(handles)));
  return {};
}

// The share modes of the open handle keep other runs, and other programs, out.
Status DiskFile::TryLock() { return {}; }
Status DiskFile::Hold() { return {}; }
void DiskFile::Release() {}
bool DiskFile::HoldKeepsWritersOut() { return true; }

Status DiskFile::ReadSome(Part part, std::uint64_t offset, std::span<char> into, std::size_t& got) {
  OVERLAPPED at = At(offset);
  DWORD n = 0;
  got = 0;
  if (::ReadFile(handles_->Of(part), into.data(), static_cast<DWORD>(into.size()), &n, &at)) {
    got = n;
    return {};
  }
  const DWORD error = ::GetLastError();
  return error == ERROR_HANDLE_EOF ? Status() : Failed(error);
}

Status DiskFile::WriteSome(Part part, std::uint64_t offset, std::string_view data,
                           std::size_t& put) {
  OVERLAPPED at = At(offset);
  DWORD n = 0;
  if (!::WriteFile(handles_->Of(part), data.data(), static_cast<DWORD>(data.size()), &n, &at)) {
    return LastError();
  }
  if (n == 0) return Failed(ERROR_WRITE_FAULT);
  put = n;
  return {};
}

// The system starts writing back on its own.
void DiskFile::StartWriteback(Part, std::uint64_t, std::uint64_t) {}

Status DiskFile::Allocate(std::uint64_t, std::uint64_t to) {
  FILE_ALLOCATION_INFO info{};
  info.AllocationSize.QuadPart = static_cast<LONGLONG>(to);
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

// The folder has no handle of its own: its names are the volume's journal's business.
Status DiskFile::Stamp(FileStamp& out, Part part) {
  out = {};
  return part == Part::kFolder ? Status() : Identify(handles_->Of(part), out);
}

Status DiskFile::StampAtName(FileStamp& out) {
  // No access asked for, so the share modes of the open handle don't get in the way.
  const UniqueHandle named(::CreateFileW(
      handles_->location.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!named) return LastError();
  return Identify(named.get(), out);
}

// Flushing a file also commits its name to the volume's journal.
Status DiskFile::Flush(Part part) {
  if (part == Part::kFolder || ::FlushFileBuffers(handles_->Of(part))) return {};
  return LastError();
}

// Windows flushes a volume at once only for administrators.
Status DiskFile::FlushVolume(Part) { return Failed(ERROR_NOT_SUPPORTED); }

Status DiskFile::Volume(Part, VolumeFacts& out) {
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
const std::string& DiskFile::name() const { return handles_->name; }

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

Status DiskFile::PublishBackup() { return MarkForDeletion(handles_->backup.get(), false); }

Status DiskFile::OpenBackup(std::optional<FoundBackup>& out) {
  out.reset();
  handles_->backup = UniqueHandle(
      ::CreateFileW(handles_->backup_location.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handles_->backup) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? Status() : Failed(error);
  }
  const HANDLE backup = handles_->backup.get();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(backup, &info)) return LastError();
  const Sid user = CurrentUser();
  const Security security = SecurityOf(backup, user);
  out.emplace(FoundBackup{
      .size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow,
      .regular =
          ::GetFileType(backup) == FILE_TYPE_DISK &&
          (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0,
      .links = info.nNumberOfLinks,
      .owner_trusted = !security.owner.empty() &&
                       (security.owner == SecurityOf(handles_->file.get(), user).owner ||
                        security.owner == user),
      .others_may_write = security.others_may_write});
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
