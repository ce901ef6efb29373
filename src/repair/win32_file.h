#pragma once

#include <string>

#include "repair/file_system.h"
#include "repair/unique_handle.h"

namespace plindor::repair {

// The Windows disk file service's way of naming and opening files, for code that must find and
// judge a file exactly as a real repair would (a dry run, say).

// The name Windows opens for `path`: UTF-8, or the ANSI code page where the bytes are not valid
// UTF-8. Returns false for a path Windows can't name.
bool ToWidePath(const std::string& path, std::wstring& out);

// Opens `path` with the access, sharing and checks of DiskFileSystem::OpenTextFile, and fails
// with the same RepairError. Closing the handle without writing leaves the file as it was.
UniqueHandle OpenDiskFile(const std::string& path, IoMode mode);

}  // namespace plindor::repair
