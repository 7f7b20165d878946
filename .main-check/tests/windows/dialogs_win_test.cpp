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

}  // namespace
}  // namespace orvella::test
