#pragma once

#include <string>

namespace plindor::win32 {

// The running program's full path, and the folder that holds it, however long they are.
std::wstring ProgramPath();
std::wstring ProgramFolder();

// The folder part of a full path; a drive's root keeps its backslash ("C:\\").
std::wstring FolderOf(const std::wstring& path);

}  // namespace plindor::win32
