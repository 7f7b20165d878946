// The dialog services on Windows: modal dialogs from the module's templates 1000 and 1001,
// message boxes titled with the module's name, the shell's folder browser and HTML Help.
#include "ui/dialog_platform.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <windows.h>

#include <vector>

#include "system/module_file.h"
#include "system/module_instance_win.h"

namespace orvella {
namespace {

// The view of one running dialog: the model's calls on its window's controls.
class CWin32DialogView final : public CDialogView {
 public:
  explicit CWin32DialogView(HWND window) : window_(window) {}

  std::wstring GetItemText(int id) const override {
    HWND item = ::GetDlgItem(window_, id);
    if (item == nullptr) return {};
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return text;
  }
  void SetItemText(int id, const std::wstring& text) override {
    ::SetDlgItemTextW(window_, id, text.c_str());
  }
  bool IsChecked(int id) const override { return ::IsDlgButtonChecked(window_, id) == BST_CHECKED; }
  void SetChecked(int id, bool checked) override {
    ::SendMessageW(::GetDlgItem(window_, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED,
                   0);
  }
  void EnableItem(int id, bool enabled) override {
    ::EnableWindow(::GetDlgItem(window_, id), enabled ? TRUE : FALSE);
  }
  void FocusAndSelectAll(int id) override {
    HWND item = ::GetDlgItem(window_, id);
    ::SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
    ::SendMessageW(item, EM_SETSEL, 0, -1);
  }
  int ShowMessage(const std::wstring& text, MessageButtons buttons, MessageIcon icon) override {
    UINT style = buttons == MessageButtons::kOkCancel ? MB_OKCANCEL
                 : buttons == MessageButtons::kYesNo  ? MB_YESNO
                                                      : MB_OK;
    if (icon == MessageIcon::kExclamation) style |= MB_ICONEXCLAMATION;
    return ::MessageBoxW(window_, text.c_str(), ApplicationTitle().c_str(), style);
  }
  void EndDialog(int result) override {
    ended_ = true;
    result_ = result;
  }
  void SetBusy(bool busy) override {
    busy_ = busy;
    if (busy) {
      ::SetTimer(window_, kTickTimer, kBusyTickMs, nullptr);
    } else {
      ::KillTimer(window_, kTickTimer);
    }
    // The cursor changes at once if it is over the dialog, not only at its next move.
    POINT at{};
    HWND under = ::GetCursorPos(&at) ? ::WindowFromPoint(at) : nullptr;
    if (under != nullptr && (under == window_ || ::IsChild(window_, under))) ::SetCursor(Cursor());
  }

  // Ends the modal run when a handler asked for it.
  void FinishHandler() {
    if (ended_) ::EndDialog(window_, result_);
  }
  bool ended() const { return ended_; }
  // The cursor over the dialog: busy (still taking input) while busy_, else the arrow.
  HCURSOR Cursor() const {
    constexpr WORD kArrow = 32512;        // IDC_ARROW
    constexpr WORD kAppStarting = 32650;  // IDC_APPSTARTING: busy, yet taking input
    return ::LoadCursorW(nullptr, MAKEINTRESOURCEW(busy_ ? kAppStarting : kArrow));
  }
  bool busy() const { return busy_; }

  static constexpr UINT_PTR kTickTimer = 1;

 private:
  HWND window_;
  bool ended_ = false;
  int result_ = kResultCancel;
  bool busy_ = false;
};

struct RunningDialog {
  CDialogModel* model;
  CWin32DialogView* view = nullptr;
  HWND window = nullptr;  // set once the dialog manager made the window
};

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* running = reinterpret_cast<RunningDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
  try {
    if (message == WM_INITDIALOG) {
      running = reinterpret_cast<RunningDialog*>(lParam);
      ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(running));
      running->window = window;
      running->view = new CWin32DialogView(window);
      running->model->Attach(running->view);
      running->model->OnInitDialog();
      running->view->FinishHandler();
      return TRUE;  // the dialog manager's initial focus: the first tab stop
    }
    if (running == nullptr) return FALSE;
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
      running->model->OnCommand(LOWORD(wParam));
      running->view->FinishHandler();
      return TRUE;
    }
    if (message == WM_TIMER && wParam == CWin32DialogView::kTickTimer) {
      if (!running->view->ended()) running->model->OnTick();
      running->view->FinishHandler();
      return TRUE;
    }
    if (message == WM_SETCURSOR && running->view->busy()) {
      ::SetCursor(running->view->Cursor());
      ::SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    if (message == WM_DESTROY) {
      ::KillTimer(window, CWin32DialogView::kTickTimer);
      running->model->Attach(nullptr);
      delete running->view;
      running->view = nullptr;
    }
  } catch (...) {
    // Nothing may unwind through the dialog manager: the run ends as Cancel.
    ::EndDialog(window, kResultCancel);
    return TRUE;
  }
  return FALSE;
}

// The common-controls version as major << 16 | minor; 4.0 when the library or its
// version function is not there.
DWORD CommonControlsVersion() {
  constexpr DWORD kVersion4 = 4u << 16;
  HMODULE library = ::GetModuleHandleA("COMCTL32.DLL");
  if (library == nullptr) return kVersion4;
  auto getVersion = reinterpret_cast<HRESULT(CALLBACK*)(DLLVERSIONINFO*)>(
      reinterpret_cast<void*>(::GetProcAddress(library, "DllGetVersion")));
  if (getVersion == nullptr) return kVersion4;
  DLLVERSIONINFO info{};
  info.cbSize = 20;
  if (FAILED(getVersion(&info))) return kVersion4;
  return (info.dwMajorVersion << 16) | (info.dwMinorVersion & 0xFFFF);
}

int CALLBACK SelectStartFolder(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) ::SendMessageW(window, BFFM_SETSELECTIONW, 0, data);
  return 0;
}

class CWin32DialogPlatform final : public CDialogPlatform {
 public:
  bool Open() override { return true; }

  int RunModal(CDialogModel& dialog, uintptr_t owner) override {
    // Without an owner the dialog is owned by the innermost one running, as the
    // framework's dialogs are.
    HWND parent = owner != 0         ? reinterpret_cast<HWND>(owner)
                  : running_.empty() ? nullptr
                                     : running_.back()->window;
    RunningDialog running{&dialog};
    running_.push_back(&running);
    const INT_PTR result =
        ::DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(dialog.Template().id), parent,
                          &DialogProc, reinterpret_cast<LPARAM>(&running));
    running_.pop_back();
    return result == kResultOk ? kResultOk : kResultCancel;
  }

  bool BrowseForFolder(const FolderBrowseRequest& request, std::wstring& chosen) override {
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IMalloc* allocator = nullptr;
    IShellFolder* desktop = nullptr;
    bool ok = false;
    if (SUCCEEDED(::SHGetMalloc(&allocator)) && SUCCEEDED(::SHGetDesktopFolder(&desktop))) {
      wchar_t start[MAX_PATH] = {};
      request.startFolder.copy(start, MAX_PATH - 1);
      LPITEMIDLIST startItem = nullptr;
      if (SUCCEEDED(
              desktop->ParseDisplayName(nullptr, nullptr, start, nullptr, &startItem, nullptr))) {
        ok = Browse(request, startItem, allocator, chosen);
        allocator->Free(startItem);
      }
    }
    if (desktop != nullptr) desktop->Release();
    if (allocator != nullptr) allocator->Release();
    if (SUCCEEDED(com)) ::CoUninitialize();
    return ok;
  }

  void OpenHelp(const std::wstring& path) override {
    // HtmlHelpW is the viewer's export number 15; no owner window, display topic (0).
    // The viewer stays loaded: its window outlives this call.
    HMODULE viewer = ::LoadLibraryW(L"hhctrl.ocx");
    if (viewer == nullptr) return;
    using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    auto htmlHelp = reinterpret_cast<HtmlHelpFunction>(
        reinterpret_cast<void*>(::GetProcAddress(viewer, MAKEINTRESOURCEA(15))));
    if (htmlHelp != nullptr) htmlHelp(nullptr, path.c_str(), 0, 0);
  }

 private:
  bool Browse(const FolderBrowseRequest& request, LPITEMIDLIST startItem, IMalloc* allocator,
              std::wstring& chosen) {
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = reinterpret_cast<HWND>(request.owner);
    info.pszDisplayName = displayName;
    info.lpszTitle = request.title.c_str();
    info.ulFlags = CommonControlsVersion() >= (5u << 16) ? 0x50 : 0;  // new style, edit box
    info.lpfn = &SelectStartFolder;
    info.lParam = reinterpret_cast<LPARAM>(startItem);
    LPITEMIDLIST item = ::SHBrowseForFolderW(&info);
    if (item == nullptr) return false;
    wchar_t path[MAX_PATH] = {};
    const bool hasPath = ::SHGetPathFromIDListW(item, path) != FALSE;
    allocator->Free(item);
    if (!hasPath) return false;
    chosen = path;
    return true;
  }

  std::vector<RunningDialog*> running_;  // dialogs being run, outermost first
};

}  // namespace

std::unique_ptr<CDialogPlatform> CreateDialogPlatform() {
  return std::make_unique<CWin32DialogPlatform>();
}

}  // namespace orvella
