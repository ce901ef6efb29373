#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <stdio.h>

#include <string_view>

#include "cli/process_setup.h"
#include "repair/wide_text.h"

namespace plindor::cli {

ProcessSetup::ProcessSetup(int argc, char** argv) {
  // The narrow argv holds the ANSI code page's idea of the arguments: every name outside it
  // arrives as question marks. The wide command line holds them all.
  int count = 0;
  if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) arguments_.push_back(repair::Utf8FromWide(wide[i]));
    ::LocalFree(wide);
  } else {
    arguments_.assign(argv, argv + argc);
  }
  // The same bytes on every system. Text mode would turn the CRLF line ends a diff quotes from
  // the files into CR CR LF, and a patch made from it would no longer apply.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // The output is UTF-8; a console shows it as such only in that code page.
  DWORD mode = 0;
  if (::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) ||
      ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode)) {
    console_code_page_ = ::GetConsoleOutputCP();
    ::SetConsoleOutputCP(CP_UTF8);
  }
}

ProcessSetup::~ProcessSetup() {
  if (console_code_page_ != 0) ::SetConsoleOutputCP(console_code_page_);
}

}  // namespace plindor::cli
