// The GTK views on a real (virtual) display: each dialog opens from its template with its
// controls where the template puts them, closes through OK and Cancel, and leaves a
// screenshot in build-dir/ui-screenshots/.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
// Xlib's macros (None, Bool, Status) must come after GoogleTest's templates.
#include <gdk/gdkkeysyms.h>
#include <gdk/gdkx.h>

#include "base/path_text.h"
#include "base/text_utf8.h"
#include "base/write_log.h"
#include "resources/string_table.h"
#include "system/module_file.h"
#include "system/thread_name.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/stalled_service.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/gtk_driver.h"
#include "tools/orvella-artd/art_service.h"
#include "tools/orvella-host/configure_command.h"
#include "ui/authorize_dlg.h"
#include "ui/dialogs_gtk.h"
#include "ui/orvella_dlg.h"

namespace orvella::test {
namespace {

constexpr char kSettingsTitle[] = "Orvella PlugIn 1.0";

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string MessageText(GtkWidget* box) {
  gchar* text = nullptr;
  g_object_get(box, "text", &text, nullptr);
  std::string result = text != nullptr ? text : "";
  g_free(text);
  return result;
}

// Runs first, before anything in this process has opened GTK. orvella-host configure
// through the loaded module: the module opens GTK on the host's thread without touching
// the host's locale, its dialog belongs to the host's window (a plain X window, as another
// toolkit's would be), message boxes carry the module's name, the sign-in reaches the
// local art service, and only OK saves.
TEST(GtkHostCommand, ConfigureEditsSignsInAndSavesOnlyAfterOk) {
  Display* xdisplay = XOpenDisplay(nullptr);
  if (xdisplay == nullptr) GTEST_SKIP() << "no display (CTest runs this under xvfb-run)";
  const Window hostWindow =
      XCreateSimpleWindow(xdisplay, DefaultRootWindow(xdisplay), 0, 0, 300, 200, 0, 0, 0);
  XMapWindow(xdisplay, hostWindow);
  XSync(xdisplay, False);
  ::setenv("LC_ALL", "C.UTF-8", 1);  // what GTK would switch the process to
  const std::string localeBefore = std::setlocale(LC_ALL, nullptr);
  artd::ArtService service;
  service.Start();
  ::setenv("ORVELLA_SERVER_URL", service.BaseUrl().c_str(), 1);
  const artd::Account demo = artd::CompleteAccount(artd::DemoAccount());

  ScopedConfigHome home;
  TempDir dir;
  const std::string folder = WideToUtf8(FromFsPath(dir.path()));
  host::HostOptions options;
  options.modulePath = ModulePath();
  options.profilePath = (dir / "profile.ini").string();
  options.verbosity = 0;
  host::HostSession session(options);
  ASSERT_TRUE(session.Open());

  GtkDriver cancel;
  cancel
      .When(kSettingsTitle,
            [&](GtkWidget* window) {
              Window owner = 0;
              XGetTransientForHint(xdisplay, gdk_x11_window_get_xid(gtk_widget_get_window(window)),
                                   &owner);
              EXPECT_EQ(owner, hostWindow);
              TypeInto(window, kIdcHours, "3");
              ClickControl(window, kIdOk);  // the folder is empty
            })
      .When(
          "Orvella", [](GtkWidget* box) { gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK); },
          GTK_TYPE_MESSAGE_DIALOG)
      .When(kSettingsTitle, [](GtkWidget* window) { ClickControl(window, kIdCancel); });
  EXPECT_EQ(host::CommandConfigure(session, hostWindow), 0);
  EXPECT_TRUE(cancel.finished());
  EXPECT_FALSE(std::filesystem::exists(options.profilePath));
  EXPECT_EQ(std::setlocale(LC_ALL, nullptr), localeBefore);

  GtkDriver ok;
  ok.When(kSettingsTitle,
          [](GtkWidget* window) {
            ClickControl(window, kIdcEnabled);
            ClickControl(window, kIdcAuthorize);  // no account yet: straight to the sign-in
          })
      .When("Authorize",
            [&](GtkWidget* signIn) {
              TypeInto(signIn, kIdcEmail, demo.email);
              TypeInto(signIn, kIdcPassword, demo.password);
              ClickControl(signIn, kIdOk);
            })
      .Gone("Authorize")
      .When(kSettingsTitle, [&](GtkWidget* window) {
        EXPECT_EQ(ControlText(window, kIdcStatus),
                  "Orvella Plugin is currently authenticated\n" + demo.userName);
        TypeInto(window, kIdcFolder, folder);
        TypeInto(window, kIdcHours, "3");
        ClickControl(window, kIdcClocks);
        ClickControl(window, kIdOk);
      });
  EXPECT_EQ(host::CommandConfigure(session, hostWindow), 0);
  EXPECT_TRUE(ok.finished());
  const std::string profile = ReadAll(options.profilePath);
  const std::vector<std::string> lines = {"Enabled=1", "tmUpdate=180", "ImgFolder=" + folder,
                                          "nFeeds=1", "Feed0_Type=2"};
  for (const std::string& line : lines) {
    EXPECT_NE(profile.find(line + "\n"), std::string::npos) << line << " in\n" << profile;
  }
  const auto account = home.path() / "Halvenworks" / "OrvellaPlugin";
  EXPECT_EQ(ReadAll(account / "TokenRVT"), demo.token);
  EXPECT_EQ(ReadAll(account / "UserRVT"), demo.userName);
  ::unsetenv("ORVELLA_SERVER_URL");
  ::unsetenv("LC_ALL");
  XDestroyWindow(xdisplay, hostWindow);
  XCloseDisplay(xdisplay);
}

// The sign-in through the loaded module against a service that leaves the request waiting
// at each point: the dialog keeps drawing and says it is signing in, message 10 for the
// worker (stalled in a feed query) returns meanwhile, Cancel, Escape or the close box ends
// the request and leaves the dialog as it was, and then a working service signs in.
class GtkModuleSignIn : public ::testing::TestWithParam<StallPoint> {
 protected:
  GtkModuleSignIn() : stalled(GetParam(), "/api/v3/user/") {
    stalled.Stall("/api/v3/art/");
    working.Set("/api/v3/user/", Reply(200, R"({"user_name":"Ada","user_token":"tok-ada"})"));
    ::setenv("ORVELLA_SERVER_URL", stalled.BaseUrl().c_str(), 1);
    host.SetInt(L"Enabled", 1);
    host.SetString(L"ImgFolder", FromFsPath(folder.path()));
    host.SetInt(L"nFeeds", 1);
    host.SetInt(L"Feed0_Type", 1);
    host.SetInt(L"Feed0_Flg", 1);
  }
  ~GtkModuleSignIn() override { ::unsetenv("ORVELLA_SERVER_URL"); }

  /// A step that is done `ms` milliseconds after it was first tried.
  static GtkDriver::Step Pause(int ms) {
    auto until = std::make_shared<gint64>(0);
    return [until, ms] {
      if (*until == 0) *until = g_get_monotonic_time() + ms * 1000;
      return g_get_monotonic_time() >= *until;
    };
  }
  /// Ends the running sign-in the way this stall point's case does.
  void CancelSignIn(GtkWidget* window) {
    switch (GetParam()) {
      case StallPoint::kHeaders:
        PressKey(window, GDK_KEY_Escape);
        break;
      case StallPoint::kBody:
        gtk_window_close(GTK_WINDOW(window));  // the close box
        break;
      default:
        ClickControl(window, kIdCancel);
        break;
    }
  }

  ScopedConfigHome home;
  TempDir folder;
  FakeHost host;
  StalledService stalled;
  LoopbackServer working;
};

gboolean MarkDrawn(GtkWidget*, cairo_t*, gpointer drawn) {
  *static_cast<bool*>(drawn) = true;
  return FALSE;
}

TEST_P(GtkModuleSignIn, DialogStaysResponsiveCancelEndsTheRequestThenASignInWorks) {
  if (!CreateDialogPlatform()->Open())
    GTEST_SKIP() << "no display (CTest runs this under xvfb-run)";
  LoadedModule module;
  module.Send(3, FakeHost::callbackArg());
  module.Send(7);
  module.Send(9);
  while (host.CountLogs(L"QueryFeed: ") == 0) g_usleep(2000);
  bool drawn = false;
  GtkDriver driver;
  driver.When(kSettingsTitle, [](GtkWidget* window) { ClickControl(window, kIdcAuthorize); })
      .When("Authorize",
            [](GtkWidget* window) {
              TypeInto(window, kIdcEmail, "ada@orvella.test");
              TypeInto(window, kIdcPassword, "secret");
              ClickControl(window, kIdOk);
            })
      .Then([&] { return stalled.Reached("/api/v3/user/"); })
      .Then(Pause(300))
      .When("Authorize",
            [&](GtkWidget* window) {
              EXPECT_FALSE(gtk_widget_get_sensitive(FindControlWidget(window, kIdOk)));
              EXPECT_EQ(ControlText(window, kIdcSignInStatus), WideToUtf8(kTextSigningIn));
              EXPECT_NE(gdk_window_get_cursor(gtk_widget_get_window(window)), nullptr);
              g_signal_connect_after(window, "draw", G_CALLBACK(&MarkDrawn), &drawn);
              gtk_widget_queue_draw(window);
              SaveScreenshot(window, std::string("signing-in-") + StallName(GetParam()));
              // The host's thread stops the worker while the sign-in runs.
              EXPECT_EQ(module.Send(10, 0, 1), 0);
              EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 0"));
            })
      .Then([&] { return drawn; })
      .When("Authorize", [this](GtkWidget* window) { CancelSignIn(window); })
      .Then([&] {
        // Still open, as it was once the request ended: no message, the fields kept, OK back.
        GtkWidget* window = FindMappedWindow("Authorize");
        if (window == nullptr || !gtk_widget_get_sensitive(FindControlWidget(window, kIdOk))) {
          return false;
        }
        EXPECT_EQ(FindMappedWindow(WideToUtf8(ApplicationTitle()), GTK_TYPE_MESSAGE_DIALOG),
                  nullptr);
        EXPECT_EQ(ControlText(window, kIdcSignInStatus), "");
        EXPECT_EQ(ControlText(window, kIdcPassword), "secret");
        EXPECT_EQ(gdk_window_get_cursor(gtk_widget_get_window(window)), nullptr);
        EXPECT_EQ(CountThreadsNamed(kSignInThreadName), 0);
        ::setenv("ORVELLA_SERVER_URL", working.BaseUrl().c_str(), 1);
        ClickControl(window, kIdOk);
        return true;
      })
      .Gone("Authorize")
      .When(kSettingsTitle, [](GtkWidget* window) {
        EXPECT_EQ(ControlText(window, kIdcStatus),
                  "Orvella Plugin is currently authenticated\nAda");
        ClickControl(window, kIdOk);
      });
  EXPECT_EQ(module.Send(5, 0), 1);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(working.RequestCount(), 1u);
  EXPECT_EQ(module.Send(8), 1);
  module.Send(6);
  EXPECT_EQ(ReadAll(home.path() / "Halvenworks" / "OrvellaPlugin" / "TokenRVT"), "tok-ada");
  module.Unload();
  EXPECT_EQ(CountThreadsNamed(kSignInThreadName) + CountThreadsNamed(kWorkerThreadName), 0);
}

INSTANTIATE_TEST_SUITE_P(EachStallPoint, GtkModuleSignIn, ::testing::ValuesIn(kStallPoints),
                         [](const auto& info) { return StallName(info.param); });

/// Every control exists in template order at its template rectangle in pixels; only a
/// one-line label may run past its right edge, and then into no other control.
void ExpectTemplateLayout(GtkWidget* window, const DialogTemplate& dialogTemplate) {
  const DialogBaseUnits base = FontBaseUnits(dialogTemplate);
  GList* children = gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(window))));
  ASSERT_EQ(g_list_length(children), dialogTemplate.controls.size());
  std::vector<std::pair<int, GtkAllocation>> placed;
  GList* item = children;
  for (const ControlTemplate& control : dialogTemplate.controls) {
    GtkWidget* widget = GTK_WIDGET(item->data);
    item = item->next;
    EXPECT_EQ(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), kControlIdKey)), control.id);
    GtkAllocation got;
    gtk_widget_get_allocation(widget, &got);
    const PixelRect want = MapDialogRect(control.rect, base);
    EXPECT_EQ((std::vector<int>{got.x, got.y, got.height}),
              (std::vector<int>{want.x, want.y, want.cy}))
        << control.id;
    const bool oneLineLabel = control.kind == ControlKind::kLabel && control.rect.cy < 16;
    EXPECT_TRUE(oneLineLabel ? got.width >= want.cx : got.width == want.cx) << control.id;
    if (control.kind != ControlKind::kGroupBox) placed.emplace_back(control.id, got);
  }
  g_list_free(children);
  for (std::size_t i = 0; i < placed.size(); ++i) {
    for (std::size_t j = i + 1; j < placed.size(); ++j) {
      const GtkAllocation& a = placed[i].second;
      const GtkAllocation& b = placed[j].second;
      EXPECT_FALSE(a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
                   b.y < a.y + a.height)
          << placed[i].first << " overlaps " << placed[j].first;
    }
  }
}

int FocusedId(GtkWidget* window) {
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
  return focus != nullptr ? GPOINTER_TO_INT(g_object_get_data(G_OBJECT(focus), kControlIdKey)) : 0;
}

class GtkSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform->Open()) GTEST_SKIP() << "no display (CTest runs this under xvfb-run)";
    dialog.Enabled = 1;
    dialog.ImgFolder = FromFsPath(folder.path());
    dialog.tmUpdate = 90;
    dialog.feeds.Add(COrvellaFeed(1, 25, L"nature sea"));
    dialog.token = L"tok";
    dialog.user = L"Ada Lovelace";
  }

  std::unique_ptr<CDialogPlatform> platform = CreateDialogPlatform();
  ScriptedAuthorizer authorizer;
  TempDir folder;
  COrvellaDlg dialog{*platform, authorizer, 0};
};

// Help on Linux: the pages the help file is made from, beside the module, opened with the
// desktop's program for HTML as its XDG files name it; without one, one log line says
// so. Each case runs in a fresh process, as GIO reads those files once.
TEST(GtkHelpDeathTest, PagesOpenWithTheDesktopsHtmlProgramOrOneLineSaysThereIsNone) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempDir dir;
  dir.Write("module/help/index.html", "<html><body>help</body></html>");
  const std::wstring chm = FromFsPath(dir / "module" / "Orvella.chm");
  const std::filesystem::path opened = dir / "opened";
  // The system's file types, but none of its programs.
  std::filesystem::create_directories(dir / "system");
  std::filesystem::create_directory_symlink("/usr/share/mime", dir / "system" / "mime");
  const auto useXdg = [&](const std::string& name) {
    ::setenv("XDG_DATA_HOME", (dir / name / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / name / "config").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (dir / "system").c_str(), 1);
  };
  // A program for HTML that notes what it was asked to open.
  const std::filesystem::path viewer =
      dir.Write("viewer.sh", "#!/bin/sh\nprintf '%s' \"$1\" > " + opened.string() + "\n");
  std::filesystem::permissions(viewer, std::filesystem::perms::owner_all);
  dir.Write("with/data/applications/orvella-test-viewer.desktop",
            "[Desktop Entry]\nType=Application\nName=Viewer\nExec=" + viewer.string() +
                " %u\nMimeType=text/html;\n");
  dir.Write("with/config/mimeapps.list",
            "[Default Applications]\ntext/html=orvella-test-viewer.desktop\n");
  EXPECT_EXIT(
      {
        useXdg("with");
        FakeHost host;
        SetLogCallback(FakeHost::callback());
        OpenHelpPages(chm);
        while (!std::filesystem::exists(opened) && host.logs().empty()) g_usleep(2000);
        g_usleep(20000);  // the viewer has written its whole line
        const std::string uri = ReadAll(opened);
        for (const std::wstring& line : host.logs()) std::fprintf(stderr, "%ls\n", line.c_str());
        std::fprintf(stderr, "opened: %s\n", uri.c_str());
        // A program for local files may be handed the path instead of the file: URI.
        const std::string page = (dir / "module/help/index.html").string();
        std::_Exit((uri == page || uri == "file://" + page) && host.logs().empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        useXdg("without");
        FakeHost host;
        SetLogCallback(FakeHost::callback());
        OpenHelpPages(chm);
        std::_Exit(host.logs().size() == 1 &&
                           host.CountLogs(L"OnHelp: no program to show " +
                                          FromFsPath(dir / "module/help/index.html")) == 1
                       ? 0
                       : 1);
      },
      ::testing::ExitedWithCode(0), "");
  // Pages that are not there are named, and nothing is started.
  FakeHost host;
  SetLogCallback(FakeHost::callback());
  OpenHelpPages(FromFsPath(dir / "Orvella.chm"));
  SetLogCallback(nullptr);
  EXPECT_EQ(host.logs(), std::vector<std::wstring>{L"OnHelp: help pages not found: " +
                                                   FromFsPath(dir / "help/index.html")});
}

TEST_F(GtkSmoke, SettingsDialogFollowsTemplateTabOrderAndEnter) {
  GtkDriver driver;
  std::vector<int> tabWalk;
  driver
      .When(kSettingsTitle,
            [&](GtkWidget* window) {
              ExpectTemplateLayout(window, OrvellaDialogTemplate());
              EXPECT_EQ(ControlText(window, kIdcMinutes), "30");
              EXPECT_EQ(ControlText(window, kIdcStatus),
                        "Orvella Plugin is currently authenticated\nAda Lovelace");
              EXPECT_FALSE(gtk_widget_get_sensitive(FindControlWidget(window, kIdcClocksMax)));
              EXPECT_EQ(gtk_window_get_default_widget(GTK_WINDOW(window)),
                        FindControlWidget(window, kIdOk));
              SaveScreenshot(window, "settings-dialog");
              ClickControl(window, kIdcClocks);  // the click reaches the model's rules
              EXPECT_TRUE(gtk_widget_get_sensitive(FindControlWidget(window, kIdcClocksMax)));
              for (std::size_t i = 0; i < OrvellaDialogTemplate().TabOrder().size(); ++i) {
                tabWalk.push_back(FocusedId(window));
                PressKey(window, GDK_KEY_Tab);
              }
              TypeInto(window, kIdcFolder, "");
              gtk_widget_grab_focus(FindControlWidget(window, kIdcHours));
              TypeInto(window, kIdcHours, "2");
              PressKey(window, GDK_KEY_Return);  // OK, which fails on the empty folder
            })
      .When(
          WideToUtf8(ApplicationTitle()),
          [](GtkWidget* box) {
            EXPECT_EQ(Utf8ToWide(MessageText(box)), LoadStringById(kIdsFolderEmpty));
            SaveScreenshot(box, "message-box");
            gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
          },
          GTK_TYPE_MESSAGE_DIALOG)
      .When(kSettingsTitle, [&](GtkWidget* window) {
        EXPECT_EQ(FocusedId(window), kIdcFolder);
        TypeInto(window, kIdcFolder, WideToUtf8(FromFsPath(folder.path())));
        PressKey(window, GDK_KEY_Return);
      });
  EXPECT_EQ(dialog.DoModal(), kResultOk);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(tabWalk, OrvellaDialogTemplate().TabOrder());
  EXPECT_EQ(dialog.tmUpdate, 150);
  EXPECT_EQ(dialog.feeds.GetSize(), 2);
}

TEST_F(GtkSmoke, SettingsDialogCancelsOnEscapeCloseBoxAndCancelButton) {
  for (int way = 0; way < 3; ++way) {
    GtkDriver driver;
    driver.When(kSettingsTitle, [way](GtkWidget* window) {
      TypeInto(window, kIdcHours, "5");
      if (way == 0) PressKey(window, GDK_KEY_Escape);
      if (way == 1) gtk_window_close(GTK_WINDOW(window));
      if (way == 2) ClickControl(window, kIdCancel);
    });
    EXPECT_EQ(dialog.DoModal(), kResultCancel) << way;
    EXPECT_EQ(dialog.tmUpdate, 90) << way;
  }
}

TEST_F(GtkSmoke, SignInDialogMasksPasswordAndStaysOpenAfterRejection) {
  authorizer.result = 0;
  authorizer.errorText = L"Authorization has been denied";
  CAuthorizeDlg signIn(*platform, authorizer);
  GtkDriver driver;
  driver
      .When("Authorize",
            [](GtkWidget* window) {
              ExpectTemplateLayout(window, AuthorizeDialogTemplate());
              EXPECT_FALSE(
                  gtk_entry_get_visibility(GTK_ENTRY(FindControlWidget(window, kIdcPassword))));
              EXPECT_EQ(FocusedId(window), kIdcEmail);
              TypeInto(window, kIdcEmail, "ada@example.org");
              TypeInto(window, kIdcPassword, "secret");
              SaveScreenshot(window, "authorize-dialog");
              ClickControl(window, kIdOk);
            })
      .When(
          WideToUtf8(ApplicationTitle()),
          [](GtkWidget* box) { gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK); },
          GTK_TYPE_MESSAGE_DIALOG)
      .When("Authorize", [this](GtkWidget* window) {
        EXPECT_EQ(FocusedId(window), kIdcPassword);
        int start = 0;
        int end = 0;
        gtk_editable_get_selection_bounds(GTK_EDITABLE(FindControlWidget(window, kIdcPassword)),
                                          &start, &end);
        EXPECT_EQ(end - start, 6);
        EXPECT_EQ(ControlText(window, kIdcEmail), "ada@example.org");
        authorizer.result = 1;
        PressKey(window, GDK_KEY_Return);
      });
  EXPECT_EQ(signIn.DoModal(), kResultOk);
  EXPECT_EQ(signIn.token, L"tok-1");

  GtkDriver cancel;
  cancel.When("Authorize", [](GtkWidget* window) { ClickControl(window, kIdCancel); });
  EXPECT_EQ(signIn.DoModal(), kResultCancel);
}

TEST_F(GtkSmoke, FolderChooserOpensAtStartFolderAndReturnsIt) {
  const std::wstring start = FromFsPath(folder.path());
  for (const bool accept : {true, false}) {
    GtkDriver driver;
    driver.When(
        "Select Folder",
        [accept](GtkWidget* chooser) {
          if (accept) SaveScreenshot(chooser, "folder-chooser");
          gtk_dialog_response(GTK_DIALOG(chooser),
                              accept ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_CANCEL);
        },
        GTK_TYPE_FILE_CHOOSER_DIALOG);
    std::wstring chosen;
    EXPECT_EQ(platform->BrowseForFolder({L"Select Folder", start, 0}, chosen), accept);
    EXPECT_EQ(chosen, accept ? start : L"");  // OK at once answers the folder it opened at
  }
}

}  // namespace
}  // namespace orvella::test
