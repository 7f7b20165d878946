// The Win32 views of the two dialogs, run from the module's templates: each opens, shows
// its controls and closes through OK and through Cancel. A screenshot of each window is
// saved (BMP) beside the test for a person to look at. Run under a display (Xvfb).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

#include "base/text_utf8.h"
#include "resources/string_table.h"
#include "system/thread_name.h"
#include "system/user_store.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/stalled_service.h"
#include "tests/support/temp_dir.h"
#include "ui/authorize_dlg.h"
#include "ui/authorizer.h"
#include "ui/dialog_platform.h"
#include "ui/orvella_dlg.h"

namespace orvella::test {
namespace {

// Saves what `window` shows as a 24-bit BMP file.
void SaveScreenshot(HWND window, const std::string& name) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  // What the display shows (Wine's PrintWindow draws no child controls).
  ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
  ::GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
              DIB_RGB_COLORS);
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(std::string(ORVELLA_SCREENSHOT_DIR) + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

// Waits for the dialog titled `title`, saves its picture and presses `button`, on a
// thread of its own while the test's thread runs the dialog.
class DialogDriver {
 public:
  DialogDriver(const wchar_t* title, int button, std::string screenshot)
      : thread_([=, this] {
          HWND window = nullptr;
          while ((window = ::FindWindowW(L"#32770", title)) == nullptr ||
                 !::IsWindowVisible(window)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(300));  // painted
          owner_ = ::GetWindow(window, GW_OWNER);
          ownerEnabled_ = owner_.load() != nullptr && ::IsWindowEnabled(owner_.load());
          found_ = window;
          if (!screenshot.empty()) SaveScreenshot(window, screenshot);
          ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        }) {}
  ~DialogDriver() { thread_.join(); }
  HWND found() const { return found_.load(); }
  // The dialog's owner while it ran, and whether that owner still took input then.
  HWND owner() const { return owner_.load(); }
  bool ownerEnabled() const { return ownerEnabled_.load(); }

 private:
  std::atomic<HWND> found_{nullptr};
  std::atomic<HWND> owner_{nullptr};
  std::atomic<bool> ownerEnabled_{false};
  std::thread thread_;
};

class AcceptingAuthorizer final : public CAuthorizer {
 public:
  int32_t Authorize(COrvellaClient& client, const std::wstring& email,
                    const std::wstring& password) override {
    client.token = L"token-for-" + email;
    client.userName = L"Ann";
    (void)password;
    return 1;
  }
};

class Win32Dialogs : public ::testing::Test {
 protected:
  std::unique_ptr<COrvellaDlg> SettingsDialog() {
    auto dialog = std::make_unique<COrvellaDlg>(*platform, authorizer, 0);
    dialog->Enabled = 1;
    dialog->ImgFolder = Utf8ToWide(folder.path().string());
    dialog->tmUpdate = 90;
    dialog->feeds.Add(COrvellaFeed(kFeedTypeWallpapers, 25, L"sea sky"));
    dialog->feeds.Add(COrvellaFeed(kFeedTypeClocks, 5, L""));
    dialog->token = L"tok";
    dialog->user = L"Ann";
    return dialog;
  }
  std::unique_ptr<CDialogPlatform> platform = CreateDialogPlatform();
  AcceptingAuthorizer authorizer;
  TempDir folder;
};

TEST_F(Win32Dialogs, SettingsDialogClosesThroughOkAndCancel) {
  {
    auto dialog = SettingsDialog();
    DialogDriver driver(L"Orvella PlugIn 1.0", IDCANCEL, "settings-dialog.bmp");
    EXPECT_EQ(platform->RunModal(*dialog, 0), kResultCancel);
  }
  auto dialog = SettingsDialog();
  DialogDriver driver(L"Orvella PlugIn 1.0", IDOK, "");
  EXPECT_EQ(platform->RunModal(*dialog, 0), kResultOk);
  // The save step read the fields the load step filled: 1 h 30 min, both feeds.
  EXPECT_EQ(dialog->tmUpdate, 90);
  ASSERT_EQ(dialog->feeds.GetSize(), 2);
  EXPECT_EQ(dialog->feeds[0].Tags, L"sea sky");
  EXPECT_EQ(dialog->feeds[0].MaxP, 25);
  EXPECT_EQ(dialog->feeds[1].Type, kFeedTypeClocks);
}

TEST_F(Win32Dialogs, SignInDialogClosesThroughOkAndCancel) {
  {
    CAuthorizeDlg dialog(*platform, authorizer);
    DialogDriver driver(L"Authorize", IDCANCEL, "authorize-dialog.bmp");
    EXPECT_EQ(dialog.DoModal(), kResultCancel);
    EXPECT_EQ(dialog.token, L"");
  }
  CAuthorizeDlg dialog(*platform, authorizer);
  DialogDriver driver(L"Authorize", IDOK, "");
  EXPECT_EQ(dialog.DoModal(), kResultOk);
  EXPECT_EQ(dialog.token, L"token-for-");  // nothing typed: the e-mail field was empty
  EXPECT_EQ(dialog.user, L"Ann");
}

// A top-level window standing in for the host's main window.
class HostWindow {
 public:
  HostWindow()
      : window_(::CreateWindowExW(0, L"STATIC", L"Wallpaper host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  10, 10, 400, 300, nullptr, nullptr, nullptr, nullptr)) {}
  ~HostWindow() {
    if (window_ != nullptr) ::DestroyWindow(window_);
  }
  HWND get() const { return window_; }

 private:
  HWND window_;
};

TEST_F(Win32Dialogs, DialogsAreModalToTheWindowThatOwnsThem) {
  HostWindow host;
  ASSERT_NE(host.get(), nullptr);
  auto dialog = SettingsDialog();
  {
    DialogDriver driver(L"Orvella PlugIn 1.0", IDCANCEL, "");
    EXPECT_EQ(platform->RunModal(*dialog, reinterpret_cast<uintptr_t>(host.get())), kResultCancel);
    EXPECT_EQ(driver.owner(), host.get());
    EXPECT_FALSE(driver.ownerEnabled());  // the host takes no input while the dialog runs
  }
  EXPECT_TRUE(::IsWindowEnabled(host.get()));  // and takes it again once it is closed
}

// The host's thread runs message 10 from a timer of its own while the module's modal
// dialogs run, as a host's window would: the driver asks, the timer sends.
std::atomic<LoadedModule*> g_stopModule{nullptr};
std::atomic<intptr_t> g_stopResult{-1};

void CALLBACK StopWorkerOnHostThread(HWND, UINT, UINT_PTR, DWORD) {
  if (LoadedModule* module = g_stopModule.load()) {
    g_stopResult = module->Send(10, 0, 1);
    g_stopModule = nullptr;
  }
}

HWND WaitForDialog(const wchar_t* title) {
  HWND window = nullptr;
  while ((window = ::FindWindowW(L"#32770", title)) == nullptr || !::IsWindowVisible(window)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return window;
}

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[512] = {};
  ::GetDlgItemTextW(dialog, id, text, 512);
  return text;
}

void Click(HWND dialog, int id) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// Marks how far a driver got, so that a run that hangs shows where.
void Progress(const char* step) {
  std::printf("[ step     ] %s\n", step);
  std::fflush(stdout);
}

// The sign-in through the loaded module against a service that leaves the request waiting
// at each point: the dialog keeps answering and says it signs in, message 10 returns
// meanwhile, Cancel (as a command, a button press or the close box) ends the request and leaves the
// dialog as it was, and then a working service signs in.
class Win32ModuleSignIn : public ::testing::TestWithParam<StallPoint> {
 protected:
  Win32ModuleSignIn() : stalled(GetParam(), "/api/v3/user/") {
    stalled.Stall("/api/v3/art/");
    working.Set("/api/v3/user/", Reply(200, R"({"user_name":"Ada","user_token":"tok-ada"})"));
    ::_putenv_s("ORVELLA_SERVER_URL", stalled.BaseUrl().c_str());
    host.SetInt(L"Enabled", 1);
    host.SetString(L"ImgFolder", Utf8ToWide(folder.path().string()));
    host.SetInt(L"nFeeds", 1);
    host.SetInt(L"Feed0_Type", 1);
    host.SetInt(L"Feed0_Flg", 1);
  }
  ~Win32ModuleSignIn() override { ::_putenv_s("ORVELLA_SERVER_URL", ""); }

  // Plays the user on a thread of its own while the test's thread runs message 5.
  void Drive(LoadedModule& module) {
    Click(WaitForDialog(L"Orvella PlugIn 1.0"), kIdcAuthorize);
    HWND signIn = WaitForDialog(L"Authorize");
    ::SetDlgItemTextW(signIn, kIdcEmail, L"ada@orvella.test");
    ::SetDlgItemTextW(signIn, kIdcPassword, L"secret");
    Click(signIn, kIdOk);
    Progress("sign-in sent");
    while (!stalled.Reached("/api/v3/user/")) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    DWORD_PTR answer = 0;
    EXPECT_NE(::SendMessageTimeoutW(signIn, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer), 0);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(signIn, kIdOk)));
    EXPECT_EQ(ItemText(signIn, kIdcSignInStatus), kTextSigningIn);
    SaveScreenshot(signIn, std::string("signing-in-") + StallName(GetParam()) + ".bmp");
    g_stopModule = &module;
    while (g_stopModule.load() != nullptr)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(g_stopResult.load(), 0);
    Progress("worker stopped");
    // Escape reaches the dialog as Cancel through the dialog manager itself.
    switch (GetParam()) {
      case StallPoint::kHeaders:  // the Cancel button pressed as a control
        ::PostMessageW(::GetDlgItem(signIn, kIdCancel), BM_CLICK, 0, 0);
        break;
      case StallPoint::kBody:  // the close box
        ::PostMessageW(signIn, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
      default:
        Click(signIn, kIdCancel);
        break;
    }
    while (!::IsWindowEnabled(::GetDlgItem(signIn, kIdOk))) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(::IsWindowVisible(signIn));
    EXPECT_EQ(ItemText(signIn, kIdcSignInStatus), L"");
    EXPECT_EQ(ItemText(signIn, kIdcPassword), L"secret");
    EXPECT_EQ(CountThreadsNamed(kSignInThreadName), 0);
    Progress("sign-in cancelled");
    ::_putenv_s("ORVELLA_SERVER_URL", working.BaseUrl().c_str());
    Click(signIn, kIdOk);
    while (::IsWindow(signIn)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    HWND settings = WaitForDialog(L"Orvella PlugIn 1.0");
    EXPECT_EQ(ItemText(settings, kIdcStatus), L"Orvella Plugin is currently authenticated\nAda");
    Click(settings, kIdOk);
  }

  ScopedConfigHome home;
  TempDir folder;
  FakeHost host;
  StalledService stalled;
  LoopbackServer working;
};

TEST_P(Win32ModuleSignIn, DialogStaysResponsiveCancelEndsTheRequestThenASignInWorks) {
  LoadedModule module;
  module.Send(3, FakeHost::callbackArg());
  module.Send(7);
  module.Send(9);
  while (host.CountLogs(L"QueryFeed: ") == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &StopWorkerOnHostThread);
  std::thread user([&] { Drive(module); });
  EXPECT_EQ(module.Send(5, 0), 1);
  user.join();
  ::KillTimer(nullptr, timer);
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 0"));
  EXPECT_EQ(working.RequestCount(), 1u);
  EXPECT_EQ(module.Send(8), 1);
  module.Send(6);
  EXPECT_EQ(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT"), L"tok-ada");
  module.Unload();
  while (CountThreadsNamed(kWorkerThreadName) > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(CountThreadsNamed(kSignInThreadName), 0);
}

INSTANTIATE_TEST_SUITE_P(EachStallPoint, Win32ModuleSignIn, ::testing::ValuesIn(kStallPoints),
                         [](const auto& info) { return StallName(info.param); });

}  // namespace
}  // namespace orvella::test
