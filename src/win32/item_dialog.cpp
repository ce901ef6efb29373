#include "win32/item_dialog.h"

#include <commctrl.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "win32/control_text.h"
#include "win32/system_function.h"
#include "win32/typed_path.h"

namespace plindor::win32 {
namespace {

using Microsoft::WRL::ComPtr;

// What the item dialog needs of COM and the shell.
struct ItemDialogLibrary {
  decltype(&::CoInitializeEx) initialize = nullptr;
  decltype(&::CoUninitialize) uninitialize = nullptr;
  decltype(&::CoCreateInstance) create = nullptr;
  decltype(&::CoTaskMemFree) free = nullptr;
  decltype(&::SHCreateItemFromParsingName) item = nullptr;
};

const ItemDialogLibrary* LoadItemDialogLibrary() {
  static const ItemDialogLibrary library = {
      SystemFunction<decltype(&::CoInitializeEx)>(L"ole32.dll", "CoInitializeEx"),
      SystemFunction<decltype(&::CoUninitialize)>(L"ole32.dll", "CoUninitialize"),
      SystemFunction<decltype(&::CoCreateInstance)>(L"ole32.dll", "CoCreateInstance"),
      SystemFunction<decltype(&::CoTaskMemFree)>(L"ole32.dll", "CoTaskMemFree"),
      SystemFunction<decltype(&::SHCreateItemFromParsingName)>(L"shell32.dll",
                                                               "SHCreateItemFromParsingName"),
  };
  const bool complete =
      library.initialize && library.uninitialize && library.create && library.free && library.item;
  return complete ? &library : nullptr;
}

// This thread in a single-threaded COM apartment while it lives, as the dialog requires.
class Apartment final {
 public:
  explicit Apartment(const ItemDialogLibrary& library)
      : library_(library),
        result_(library.initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~Apartment() {
    if (SUCCEEDED(result_)) library_.uninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  bool entered() const { return SUCCEEDED(result_); }

 private:
  const ItemDialogLibrary& library_;
  HRESULT result_;
};

// A copy of a text the shell allocated, which is freed.
std::wstring FromShell(const ItemDialogLibrary& library, PWSTR text) {
  std::wstring copy = text != nullptr ? text : L"";
  library.free(text);
  return copy;
}

constexpr UINT_PTR kWatchOpen = 1;

// Takes the paths of MAX_PATH characters and more, which the dialog can't: it joins its folder and
// a typed name in a buffer of that size (Wine's overrun it, ending the program), and a file chosen
// in a folder it shows may come back with its path cut short. Such a path is taken here: an
// existing file is the dialog's answer; anything else is refused with a message, and the dialog
// stays open.
class LongPathTakeover final {
 public:
  LongPathTakeover(IFileDialog& dialog, const ItemDialogLibrary& library,
                   std::wstring default_extension)
      : dialog_(dialog), library_(library), default_extension_(std::move(default_extension)) {}
  LongPathTakeover(const LongPathTakeover&) = delete;
  LongPathTakeover& operator=(const LongPathTakeover&) = delete;
  // The dialog's window, which may outlive this, must not call it afterwards.
  ~LongPathTakeover() {
    if (window_ != nullptr) ::RemoveWindowSubclass(window_, WatchOpen, kWatchOpen);
  }

  // Watches the dialog's window for its Open command, from the first time it is asked on.
  void Watch() noexcept {
    if (window_ != nullptr) return;
    ComPtr<IOleWindow> window;
    HWND hwnd = nullptr;
    if (SUCCEEDED(dialog_.QueryInterface(IID_PPV_ARGS(&window))) &&
        SUCCEEDED(window->GetWindow(&hwnd)) && hwnd != nullptr &&
        ::SetWindowSubclass(hwnd, WatchOpen, kWatchOpen, reinterpret_cast<DWORD_PTR>(this))) {
      window_ = hwnd;
    }
  }

  // The dialog's answer to its OnFileOk: S_OK where its choice stands, S_FALSE where it was
  // taken here instead or refused.
  HRESULT CheckChoice() noexcept {
    return Guarded([this] { return ChoiceStands() ? S_OK : S_FALSE; }, S_FALSE);
  }

  // The dialog's answer where it was taken from the dialog, else nothing.
  const OpenAnswer& answer() const { return answer_; }

  // Throws what failed here while the dialog was up, which ended it.
  void RethrowFailure() const {
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  static LRESULT CALLBACK WatchOpen(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                    UINT_PTR /*id*/, DWORD_PTR data) {
    auto& self = *reinterpret_cast<LongPathTakeover*>(data);
    if (message == WM_COMMAND && LOWORD(wparam) == IDOK &&
        self.Guarded([&self] { return self.TookTypedPath(); }, true)) {
      return 0;
    }
    if (message == WM_NCDESTROY) {
      ::RemoveWindowSubclass(window, WatchOpen, kWatchOpen);
      self.window_ = nullptr;
    }
    return ::DefSubclassProc(window, message, wparam, lparam);
  }

  // Runs `step` for the system's code, which no exception may cross: a failure ends the dialog,
  // and the call that showed it rethrows it. Gives `if_failed` then.
  template <typename Step, typename Result>
  Result Guarded(Step step, Result if_failed) noexcept {
    try {
      return step();
    } catch (...) {
      failure_ = std::current_exception();
      dialog_.Close(E_ABORT);
      return if_failed;
    }
  }

  // Whether the dialog's choice can stand: a path of MAX_PATH - 1 characters or more may have been
  // cut short there (Wine's are, to MAX_PATH - 1, naming no file or another one). Such a choice
  // stands where it names an existing file by the name in the name box; else it is made again
  // here, from the dialog's folder and that name.
  bool ChoiceStands() {
    ComPtr<IShellItem> chosen;
    PWSTR path = nullptr;
    if (FAILED(dialog_.GetResult(&chosen)) ||
        FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
      return true;  // the dialog's own checks and errors stand
    }
    const std::wstring result = FromShell(library_, path);
    if (result.size() < MAX_PATH - 1) return true;
    const std::optional<std::wstring> typed = TypedPath();
    if (!typed) return true;
    if (EndsInTypedName(result, *typed) && CheckAnswer(result, {}).refusal.empty()) return true;
    Take(*typed);
    return false;
  }

  // Whether the typed path is too long for the dialog, and so was taken here. Wine's dialog joins
  // the folder, the name and, for a name that finds no file, the default extension in a buffer of
  // MAX_PATH characters with its terminator, and overruns it beyond that.
  bool TookTypedPath() {
    const std::optional<std::wstring> typed = TypedPath();
    const std::size_t added = default_extension_.empty() ? 0 : 1 + default_extension_.size();
    if (!typed || typed->size() + added + 1 <= MAX_PATH) return false;
    Take(*typed);
    return true;
  }

  // The name in the dialog's name box joined to its folder, or nothing for an empty box.
  std::optional<std::wstring> TypedPath() {
    PWSTR typed = nullptr;
    if (FAILED(dialog_.GetFileName(&typed))) return std::nullopt;
    const std::wstring name = FromShell(library_, typed);
    if (name.empty()) return std::nullopt;
    ComPtr<IShellItem> folder;
    PWSTR path = nullptr;
    if (SUCCEEDED(dialog_.GetFolder(&folder))) folder->GetDisplayName(SIGDN_FILESYSPATH, &path);
    return JoinedPath(FromShell(library_, path), name);
  }

  // Ends the dialog with the file `path` names; for anything else says why, and the dialog stays.
  void Take(const std::wstring& path) {
    const PathCheck check = CheckAnswer(path, default_extension_);
    if (check.refusal.empty()) {
      answer_ = check.file;
      dialog_.Close(HRESULT_FROM_WIN32(ERROR_CANCELLED));
      return;
    }
    ::MessageBoxW(window_, check.refusal.c_str(), TextOf(window_).c_str(), MB_OK | MB_ICONWARNING);
  }

  IFileDialog& dialog_;
  const ItemDialogLibrary& library_;
  std::wstring default_extension_;
  HWND window_ = nullptr;
  OpenAnswer answer_;
  std::exception_ptr failure_;
};

// Hears when the dialog's window is up (its first folder is shown) and when it is about to end
// with a choice. Lives on the stack of the call that shows the dialog, which unadvises it before
// returning; COM interfaces have no virtual destructor, and nothing deletes it through one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Events final : public IFileDialogEvents {
 public:
  explicit Events(LongPathTakeover& takeover) : takeover_(takeover) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (id == __uuidof(IUnknown) || id == __uuidof(IFileDialogEvents)) {
      *object = static_cast<IFileDialogEvents*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnFileOk(IFileDialog* /*dialog*/) override {
    return takeover_.CheckChoice();
  }
  HRESULT STDMETHODCALLTYPE OnFolderChanging(IFileDialog* /*dialog*/,
                                             IShellItem* /*folder*/) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnFolderChange(IFileDialog* /*dialog*/) override {
    takeover_.Watch();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnSelectionChange(IFileDialog* /*dialog*/) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShareViolation(IFileDialog* /*dialog*/, IShellItem* /*item*/,
                                             FDE_SHAREVIOLATION_RESPONSE* /*response*/) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE OnTypeChange(IFileDialog* /*dialog*/) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnOverwrite(IFileDialog* /*dialog*/, IShellItem* /*item*/,
                                        FDE_OVERWRITE_RESPONSE* /*response*/) override {
    return E_NOTIMPL;
  }

 private:
  LongPathTakeover& takeover_;
};
#pragma GCC diagnostic pop

}  // namespace

std::optional<OpenAnswer> AskWithItemDialog(const OpenRequest& request) {
  const ItemDialogLibrary* library = LoadItemDialogLibrary();
  if (library == nullptr) return std::nullopt;
  const Apartment apartment(*library);
  if (!apartment.entered()) return std::nullopt;
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(library->create(__uuidof(FileOpenDialog), nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(&dialog)))) {
    return std::nullopt;
  }

  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_FILEMUSTEXIST);
  const COMDLG_FILTERSPEC types[] = {{request.filter_name.c_str(), request.filter_pattern.c_str()}};
  dialog->SetFileTypes(1, types);
  const std::wstring extension = DefaultExtension(request);
  if (!extension.empty()) dialog->SetDefaultExtension(extension.c_str());
  ComPtr<IShellItem> folder;
  const bool opened =
      !request.folder.empty() &&
      SUCCEEDED(library->item(request.folder.c_str(), nullptr, IID_PPV_ARGS(&folder))) &&
      SUCCEEDED(dialog->SetFolder(folder.Get()));
  // A folder the shell can't open (one too long for it) stays in the name offered.
  const std::wstring name = opened ? request.name : JoinedPath(request.folder, request.name);
  if (!request.name.empty()) dialog->SetFileName(name.c_str());

  LongPathTakeover takeover(*dialog.Get(), *library, extension);
  Events events(takeover);
  DWORD cookie = 0;
  const bool advised = SUCCEEDED(dialog->Advise(&events, &cookie));
  const HRESULT shown = dialog->Show(request.owner);
  if (advised) dialog->Unadvise(cookie);

  takeover.RethrowFailure();
  if (takeover.answer()) return takeover.answer();
  if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return OpenAnswer();
  if (FAILED(shown)) throw DialogFailure(static_cast<unsigned long>(shown));
  ComPtr<IShellItem> chosen;
  PWSTR path = nullptr;
  HRESULT result = dialog->GetResult(&chosen);
  if (SUCCEEDED(result)) result = chosen->GetDisplayName(SIGDN_FILESYSPATH, &path);
  if (FAILED(result)) throw DialogFailure(static_cast<unsigned long>(result));
  return FromShell(*library, path);
}

}  // namespace plindor::win32
