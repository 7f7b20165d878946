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

#include "host/text_utf8.h"
#include "resources/string_table.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/gtk_driver.h"
#include "tests/ui/scripted_dialogs.h"
#include "tools/artd/art_service.h"
#include "tools/host/configure_command.h"
#include "ui/authorize_dlg.h"
#include "ui/dialogs_gtk.h"
#include "ui/module_file.h"
#include "ui/orvella_dlg.h"
#include "ui/path_text.h"

namespace orvella::test {
namespace {

std::string ControlText(GtkWidget* window, int id) {
  GtkWidget* widget = FindControlWidget(window, id);
  if (widget == nullptr) return "<missing>";
  if (GTK_IS_ENTRY(widget)) return gtk_entry_get_text(GTK_ENTRY(widget));
  if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
  return gtk_button_get_label(GTK_BUTTON(widget));
}

void ClickControl(GtkWidget* window, int id) {
  gtk_button_clicked(GTK_BUTTON(FindControlWidget(window, id)));
}

void TypeInto(GtkWidget* window, int id, const char* text) {
  gtk_entry_set_text(GTK_ENTRY(FindControlWidget(window, id)), text);
}

// Runs first, before anything in this process has opened GTK: the module does, on the
// host's thread, without touching the host's locale, and its dialog belongs to the host's
// window (here a plain X window, as another toolkit's would be).
TEST(GtkModule, Message5OpensGtkItselfAndIsOwnedByTheHostWindow) {
  Display* xdisplay = XOpenDisplay(nullptr);
  if (xdisplay == nullptr) GTEST_SKIP() << "no display (CTest runs this under xvfb-run)";
  const Window hostWindow =
      XCreateSimpleWindow(xdisplay, DefaultRootWindow(xdisplay), 0, 0, 300, 200, 0, 0, 0);
  XMapWindow(xdisplay, hostWindow);
  XSync(xdisplay, False);
  ::setenv("LC_ALL", "C.UTF-8", 1);  // what GTK would switch the process to
  const std::string localeBefore = std::setlocale(LC_ALL, nullptr);

  ScopedConfigHome home;
  FakeHost host;
  TempDir folder;
  host.SetInt(L"Enabled", 1);
  host.SetInt(L"tmUpdate", 120);
  host.SetString(L"ImgFolder", FromFsPath(folder.path()));
  LoadedModule module;
  module.Send(3, FakeHost::callbackArg());
  module.Send(7);

  GtkDriver driver;
  driver
      .Then([&] {
        GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
        if (window == nullptr) return false;
        Window owner = 0;
        XGetTransientForHint(xdisplay, gdk_x11_window_get_xid(gtk_widget_get_window(window)),
                             &owner);
        EXPECT_EQ(owner, hostWindow);
        EXPECT_EQ(ControlText(window, kIdcHours), "2");
        TypeInto(window, kIdcFolder, "");
        ClickControl(window, kIdOk);
        return true;
      })
      .Then([] {
        // Message boxes carry the module's name.
        GtkWidget* box = FindMappedWindow("Orvella", GTK_TYPE_MESSAGE_DIALOG);
        if (box == nullptr) return false;
        gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
        return true;
      })
      .Then([] {
        GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
        if (window == nullptr) return false;
        ClickControl(window, kIdCancel);
        return true;
      });
  EXPECT_EQ(module.Send(5, hostWindow), 0);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(module.Send(8), 0);
  EXPECT_EQ(std::setlocale(LC_ALL, nullptr), localeBefore);

  GtkDriver ok;
  ok.Then([] {
    GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
    if (window == nullptr) return false;
    TypeInto(window, kIdcMinutes, "15");
    ClickControl(window, kIdOk);
    return true;
  });
  EXPECT_EQ(module.Send(5, hostWindow), 1);
  EXPECT_EQ(module.Send(8), 1);
  module.Send(6);
  EXPECT_EQ(host.Int(L"tmUpdate"), 135);
  ::unsetenv("LC_ALL");
  XDestroyWindow(xdisplay, hostWindow);
  XCloseDisplay(xdisplay);
}

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// orvella-host configure: the reference host's command edits, validates, signs in against
// the local art service and saves.
TEST(GtkHostCommand, ConfigureSavesTheProfileOnlyAfterOk) {
  if (!CreateDialogPlatform()->Open()) GTEST_SKIP() << "no display";
  ScopedConfigHome home;
  TempDir dir;
  const std::string profile = (dir / "profile.ini").string();
  host::HostOptions options;
  options.modulePath = ModulePath();
  options.profilePath = profile;
  options.quiet = true;
  host::HostSession session(options);
  ASSERT_TRUE(session.Open());

  GtkDriver cancel;
  cancel.Then([] {
    GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
    if (window == nullptr) return false;
    TypeInto(window, kIdcHours, "3");
    ClickControl(window, kIdCancel);
    return true;
  });
  EXPECT_EQ(host::CommandConfigure(session), 0);
  EXPECT_FALSE(std::filesystem::exists(profile));

  // Signing in goes to the local art service through the module's own client.
  artd::ArtService service;
  service.Start();
  ::setenv("ORVELLA_SERVER_URL", service.BaseUrl().c_str(), 1);
  const artd::Account demo = artd::CompleteAccount(artd::DemoAccount());

  const std::string folder = WideToUtf8(FromFsPath(dir.path()));
  GtkDriver ok;
  ok.Then([&] {
      GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
      if (window == nullptr) return false;
      ClickControl(window, kIdcEnabled);
      ClickControl(window, kIdcAuthorize);  // no account yet: straight to the sign-in
      return true;
    })
      .Then([&] {
        GtkWidget* signIn = FindMappedWindow("Authorize");
        if (signIn == nullptr) return false;
        TypeInto(signIn, kIdcEmail, demo.email.c_str());
        TypeInto(signIn, kIdcPassword, demo.password.c_str());
        ClickControl(signIn, kIdOk);
        return true;
      })
      .Then([&] {
        GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
        if (window == nullptr) return false;
        EXPECT_EQ(ControlText(window, kIdcStatus),
                  "Orvella Plugin is currently authenticated\n" + demo.userName);
        TypeInto(window, kIdcFolder, (folder + "/missing").c_str());
        TypeInto(window, kIdcHours, "3");
        ClickControl(window, kIdcClocks);
        ClickControl(window, kIdOk);  // the folder does not exist: the dialog stays
        return true;
      })
      .Then([] {
        GtkWidget* box = FindMappedWindow("Orvella", GTK_TYPE_MESSAGE_DIALOG);
        if (box == nullptr) return false;
        gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
        return true;
      })
      .Then([&] {
        GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
        if (window == nullptr) return false;
        TypeInto(window, kIdcFolder, folder.c_str());
        ClickControl(window, kIdOk);
        return true;
      });
  EXPECT_EQ(host::CommandConfigure(session), 0);
  EXPECT_TRUE(ok.finished());
  GKeyFile* saved = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_file(saved, profile.c_str(), G_KEY_FILE_NONE, nullptr));
  EXPECT_EQ(g_key_file_get_integer(saved, "OrvellaPlugIn", "Enabled", nullptr), 1);
  EXPECT_EQ(g_key_file_get_integer(saved, "OrvellaPlugIn", "tmUpdate", nullptr), 180);
  EXPECT_EQ(g_key_file_get_integer(saved, "OrvellaPlugIn", "nFeeds", nullptr), 1);
  EXPECT_EQ(g_key_file_get_integer(saved, "OrvellaPlugIn", "Feed0_Type", nullptr), 2);
  gchar* savedFolder = g_key_file_get_string(saved, "OrvellaPlugIn", "ImgFolder", nullptr);
  EXPECT_EQ(std::string(savedFolder != nullptr ? savedFolder : ""), folder);
  g_free(savedFolder);
  g_key_file_free(saved);
  EXPECT_EQ(ReadAll(home.path() / "Halvenworks" / "OrvellaPlugin" / "TokenRVT"), demo.token);
  EXPECT_EQ(ReadAll(home.path() / "Halvenworks" / "OrvellaPlugin" / "UserRVT"), demo.userName);
  ::unsetenv("ORVELLA_SERVER_URL");
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

  static std::string Text(GtkWidget* window, int id) { return ControlText(window, id); }
  static void Click(GtkWidget* window, int id) { ClickControl(window, id); }
  static void Type(GtkWidget* window, int id, const char* text) { TypeInto(window, id, text); }

  /// Every control exists in template order and got its template rectangle in pixels;
  /// only a one-line label may run past its right edge, and then into no other control.
  static void ExpectTemplateLayout(GtkWidget* window, const DialogTemplate& dialogTemplate) {
    const DialogBaseUnits base = FontBaseUnits(dialogTemplate);
    GList* children = gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(window))));
    ASSERT_EQ(g_list_length(children), dialogTemplate.controls.size());
    std::vector<std::pair<int, GtkAllocation>> placed;
    GList* item = children;
    for (const ControlTemplate& control : dialogTemplate.controls) {
      GtkWidget* widget = GTK_WIDGET(item->data);
      item = item->next;
      EXPECT_EQ(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), kControlIdKey)), control.id);
      EXPECT_TRUE(gtk_widget_get_visible(widget)) << control.id;
      GtkAllocation got;
      gtk_widget_get_allocation(widget, &got);
      const PixelRect want = MapDialogRect(control.rect, base);
      EXPECT_EQ(got.x, want.x) << control.id;
      EXPECT_EQ(got.y, want.y) << control.id;
      EXPECT_EQ(got.height, want.cy) << control.id << " does not fit its rectangle";
      if (control.kind == ControlKind::kLabel && control.rect.cy < 16) {
        EXPECT_GE(got.width, want.cx) << control.id;
      } else {
        EXPECT_EQ(got.width, want.cx) << control.id << " does not fit its rectangle";
      }
      if (control.kind != ControlKind::kGroupBox) placed.emplace_back(control.id, got);
    }
    g_list_free(children);
    for (std::size_t i = 0; i < placed.size(); ++i) {
      for (std::size_t j = i + 1; j < placed.size(); ++j) {
        const GtkAllocation& a = placed[i].second;
        const GtkAllocation& b = placed[j].second;
        const bool overlap = a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
                             b.y < a.y + a.height;
        EXPECT_FALSE(overlap) << placed[i].first << " overlaps " << placed[j].first;
      }
    }
  }

  std::unique_ptr<CDialogPlatform> platform = CreateDialogPlatform();
  ScriptedAuthorizer authorizer;
  TempDir folder;
  COrvellaDlg dialog{*platform, authorizer, 0};
};

TEST_F(GtkSmoke, SettingsDialogShowsTemplateAndSavesOnOk) {
  GtkDriver driver;
  driver.Then([] {
    GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
    if (window == nullptr) return false;
    ExpectTemplateLayout(window, OrvellaDialogTemplate());
    EXPECT_EQ(Text(window, kIdcHours), "1");
    EXPECT_EQ(Text(window, kIdcMinutes), "30");
    EXPECT_EQ(Text(window, kIdcWallpapersTags), "nature sea");
    EXPECT_EQ(Text(window, kIdcStatus), "Orvella Plugin is currently authenticated\nAda Lovelace");
    EXPECT_FALSE(gtk_widget_get_sensitive(FindControlWidget(window, kIdcClocksMax)));
    EXPECT_TRUE(gtk_widget_get_sensitive(FindControlWidget(window, kIdcWallpapersMax)));
    // The first tab stop has the focus; OK is the default button.
    EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(window)), FindControlWidget(window, kIdcEnabled));
    EXPECT_EQ(gtk_window_get_default_widget(GTK_WINDOW(window)), FindControlWidget(window, kIdOk));
    SaveScreenshot(window, "settings-dialog");
    Click(window, kIdcClocks);  // a click reaches the model: the clocks group wakes up
    EXPECT_TRUE(gtk_widget_get_sensitive(FindControlWidget(window, kIdcClocksMax)));
    Type(window, kIdcHours, "2");
    Click(window, kIdOk);
    return true;
  });
  EXPECT_EQ(dialog.DoModal(), kResultOk);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(dialog.tmUpdate, 150);
  EXPECT_EQ(dialog.feeds.GetSize(), 2);
}

TEST_F(GtkSmoke, TabWalksTheTabStopsInTemplateOrder) {
  dialog.feeds.Add(COrvellaFeed(2, 5, L""));  // both groups enabled: every tab stop is live
  GtkDriver driver;
  std::vector<int> visited;
  driver.Then([&] {
    GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
    if (window == nullptr) return false;
    for (std::size_t i = 0; i < OrvellaDialogTemplate().TabOrder().size(); ++i) {
      GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
      visited.push_back(focus != nullptr
                            ? GPOINTER_TO_INT(g_object_get_data(G_OBJECT(focus), kControlIdKey))
                            : 0);
      PressKey(window, GDK_KEY_Tab);
    }
    Click(window, kIdCancel);
    return true;
  });
  EXPECT_EQ(dialog.DoModal(), kResultCancel);
  EXPECT_EQ(visited, OrvellaDialogTemplate().TabOrder());
}

TEST_F(GtkSmoke, SettingsDialogCancelsOnEscapeCloseBoxAndCancelButton) {
  for (int way = 0; way < 3; ++way) {
    GtkDriver driver;
    driver.Then([way] {
      GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
      if (window == nullptr) return false;
      Type(window, kIdcHours, "5");
      if (way == 0) PressKey(window, GDK_KEY_Escape);
      if (way == 1) gtk_window_close(GTK_WINDOW(window));
      if (way == 2) Click(window, kIdCancel);
      return true;
    });
    EXPECT_EQ(dialog.DoModal(), kResultCancel) << way;
    EXPECT_EQ(dialog.tmUpdate, 90) << way;
  }
}

TEST_F(GtkSmoke, EnterInAFieldPressesOkAndFailuresShowAMessageBox) {
  GtkDriver driver;
  driver
      .Then([] {
        GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
        if (window == nullptr) return false;
        Type(window, kIdcFolder, "");
        gtk_widget_grab_focus(FindControlWidget(window, kIdcFolder));
        PressKey(window, GDK_KEY_Return);  // opens the message box: the rest runs inside
        return true;
      })
      .Then([] {
        GtkWidget* box = FindMappedWindow(WideToUtf8(ApplicationTitle()), GTK_TYPE_MESSAGE_DIALOG);
        if (box == nullptr) return false;
        gchar* text = nullptr;
        g_object_get(box, "text", &text, nullptr);
        EXPECT_EQ(Utf8ToWide(text != nullptr ? text : ""), LoadStringById(kIdsFolderEmpty));
        g_free(text);
        SaveScreenshot(box, "message-box");
        gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
        return true;
      })
      .Then([this] {
        GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
        if (window == nullptr) return false;
        GtkWidget* field = FindControlWidget(window, kIdcFolder);
        EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(window)), field);
        Type(window, kIdcFolder, WideToUtf8(FromFsPath(folder.path())).c_str());
        PressKey(window, GDK_KEY_Return);
        return true;
      });
  EXPECT_EQ(dialog.DoModal(), kResultOk);
  EXPECT_TRUE(driver.finished());
}

TEST_F(GtkSmoke, SignInDialogMasksPasswordAndStaysOpenAfterRejection) {
  authorizer.result = 0;
  authorizer.errorText = L"Authorization has been denied";
  CAuthorizeDlg signIn(*platform, authorizer);
  GtkDriver driver;
  driver
      .Then([] {
        GtkWidget* window = FindMappedWindow("Authorize");
        if (window == nullptr) return false;
        ExpectTemplateLayout(window, AuthorizeDialogTemplate());
        GtkWidget* password = FindControlWidget(window, kIdcPassword);
        EXPECT_FALSE(gtk_entry_get_visibility(GTK_ENTRY(password)));
        EXPECT_TRUE(gtk_entry_get_visibility(GTK_ENTRY(FindControlWidget(window, kIdcEmail))));
        EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(window)), FindControlWidget(window, kIdcEmail));
        Type(window, kIdcEmail, "ada@example.org");
        Type(window, kIdcPassword, "secret");
        SaveScreenshot(window, "authorize-dialog");
        Click(window, kIdOk);
        return true;
      })
      .Then([] {
        GtkWidget* box = FindMappedWindow(WideToUtf8(ApplicationTitle()), GTK_TYPE_MESSAGE_DIALOG);
        if (box == nullptr) return false;
        gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
        return true;
      })
      .Then([this] {
        GtkWidget* window = FindMappedWindow("Authorize");
        if (window == nullptr) return false;
        GtkWidget* password = FindControlWidget(window, kIdcPassword);
        EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(window)), password);
        int start = 0;
        int end = 0;
        EXPECT_TRUE(gtk_editable_get_selection_bounds(GTK_EDITABLE(password), &start, &end));
        EXPECT_EQ(end - start, 6);
        EXPECT_EQ(Text(window, kIdcEmail), "ada@example.org");
        authorizer.result = 1;
        PressKey(window, GDK_KEY_Return);
        return true;
      });
  EXPECT_EQ(signIn.DoModal(), kResultOk);
  EXPECT_EQ(signIn.token, L"tok-1");
  ASSERT_EQ(authorizer.calls.size(), 2u);
  EXPECT_EQ(authorizer.calls[1].password, L"secret");

  GtkDriver cancel;
  cancel.Then([] {
    GtkWidget* window = FindMappedWindow("Authorize");
    if (window == nullptr) return false;
    EXPECT_EQ(Text(window, kIdcEmail), "");  // never remembered
    Click(window, kIdCancel);
    return true;
  });
  EXPECT_EQ(signIn.DoModal(), kResultCancel);
}

TEST_F(GtkSmoke, FolderChooserOpensAtStartFolderAndReturnsIt) {
  const std::wstring start = FromFsPath(folder.path());
  for (const bool accept : {true, false}) {
    GtkDriver driver;
    driver.Then([&] {
      GtkWidget* chooser = FindMappedWindow("Select Folder", GTK_TYPE_FILE_CHOOSER_DIALOG);
      if (chooser == nullptr) return false;
      if (accept) SaveScreenshot(chooser, "folder-chooser");
      gtk_dialog_response(GTK_DIALOG(chooser), accept ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_CANCEL);
      return true;
    });
    std::wstring chosen;
    EXPECT_EQ(platform->BrowseForFolder({L"Select Folder", start, 0}, chosen), accept);
    if (accept) {
      EXPECT_EQ(chosen, start);  // OK at once answers the folder it opened at
    }
  }
}

TEST_F(GtkSmoke, HostWindowOwnsTheDialog) {
  GtkWidget* host = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_widget_show(host);
  Display* xdisplay = gdk_x11_display_get_xdisplay(gdk_display_get_default());
  // A window GDK does not know: another process's, as far as the dialog can tell.
  const Window foreign =
      XCreateSimpleWindow(xdisplay, DefaultRootWindow(xdisplay), 0, 0, 50, 50, 0, 0, 0);
  const uintptr_t owners[] = {gdk_x11_window_get_xid(gtk_widget_get_window(host)), foreign,
                              0x7ffffff0 /* no window */};
  for (const uintptr_t owner : owners) {
    COrvellaDlg owned(*platform, authorizer, owner);
    owned.ImgFolder = dialog.ImgFolder;
    GtkDriver driver;
    driver.Then([&] {
      GtkWidget* window = FindMappedWindow("Orvella PlugIn 1.0");
      if (window == nullptr) return false;
      if (owner == owners[0]) {
        EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(window)), GTK_WINDOW(host));
      } else {
        Window transientFor = 0;
        const Window self = gdk_x11_window_get_xid(gtk_widget_get_window(window));
        const bool hasOwner = XGetTransientForHint(xdisplay, self, &transientFor) != 0;
        EXPECT_EQ(hasOwner ? transientFor : 0, owner == owners[1] ? foreign : 0);
      }
      Click(window, kIdCancel);
      return true;
    });
    EXPECT_EQ(owned.DoModal(), kResultCancel);
  }
  XDestroyWindow(xdisplay, foreign);
  gtk_widget_destroy(host);
}

}  // namespace
}  // namespace orvella::test
