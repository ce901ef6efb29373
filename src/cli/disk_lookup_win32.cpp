// Keeps windows.h from defining min and max as macros, which would break std::min.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <system_error>

#include "cli/disk_lookup.h"
#include "repair/file_system.h"
#include "repair/unique_handle.h"
#include "repair/win32_file.h"

namespace plindor::cli {

std::optional<FileId> IdentifyFile(const std::string& path) {
  std::wstring wide;
  if (!repair::ToWidePath(path, wide)) return std::nullopt;
  // No access asked for: this only reads the file's identity, and never stands in anyone's way.
  const repair::UniqueHandle file(
      ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return FileId{info.dwVolumeSerialNumber,
                (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::filesystem::path LocateFile(const std::string& path) {
  std::wstring wide;
  (void)repair::ToWidePath(path, wide);  // a name Windows can't take failed to open earlier
  std::error_code error;
  std::filesystem::path location = std::filesystem::absolute(wide, error);
  return error ? std::filesystem::path(wide) : location;
}

void CheckWritable(const std::string& path) {
  // Windows answers "could this be written?" only by opening for writing: with the real run's
  // access and sharing, so a locked or read-only file fails the same way. Nothing is written,
  // so the content and modification time stay.
  (void)repair::OpenDiskFile(path, repair::IoMode::kForWriting);
}

}  // namespace plindor::cli
