#include "win32/edit_box_log.h"

#include <string>

#include "win32/text_encoding.h"

namespace plindor::win32 {

void EditBoxLog::Append(std::string_view text) {
  const std::wstring lines = DecodeLogText(text);
  DWORD start = 0;
  DWORD end = 0;
  ::SendMessageW(box_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const LRESULT length = ::GetWindowTextLengthW(box_);
  ::SendMessageW(box_, EM_SETSEL, static_cast<WPARAM>(length), length);
  ::SendMessageW(box_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(lines.c_str()));
  ::SendMessageW(box_, EM_SETSEL, start, static_cast<LPARAM>(end));
  // Scrolling stops at the last line however far it is asked to go.
  const LRESULT line_count = ::SendMessageW(box_, EM_GETLINECOUNT, 0, 0);
  ::SendMessageW(box_, EM_LINESCROLL, 0, line_count);
  ::UpdateWindow(box_);
}

void EditBoxLog::Clear() { ::SetWindowTextW(box_, L""); }

}  // namespace plindor::win32
