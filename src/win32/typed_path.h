#pragma once

#include <string>
#include <string_view>

namespace plindor::win32 {

// `name` as typed into a file-open dialog (quotes around it allowed) joined to the dialog's
// `folder` as the dialog joins them: a name with a drive or a server stands alone, and one that
// starts with a separator goes under the folder's root (its drive, or its server's share).
std::wstring JoinedPath(const std::wstring& folder, std::wstring name);

// Whether `chosen` ends in the name `typed` ends in, or in that name and an extension: Windows
// hides the extensions of registered types in the dialog's name box. Case is ignored.
bool EndsInTypedName(std::wstring_view chosen, std::wstring_view typed);

// What a path can be as a file-open dialog's answer: the full path of the existing file it names,
// or, for anything else, why not in words for a message box. Exactly one of the two is set.
struct PathCheck {
  std::wstring file;
  std::wstring refusal;
};

// Checks `path` as the dialog would, without opening it: a device path is refused before it is
// looked at. A name without an extension that names nothing gets `default_extension`, as the
// dialog gives it one.
PathCheck CheckAnswer(const std::wstring& path, std::wstring_view default_extension);

}  // namespace plindor::win32
