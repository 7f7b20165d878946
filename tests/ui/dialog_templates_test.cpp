// The one description of templates 1000 and 1001 that every view builds from.
#include "resources/dialog_templates.h"

#include <gtest/gtest.h>

#include "ui/dialog_units.h"

namespace orvella::test {
namespace {

TEST(DialogTemplates, TabOrderIsTheSettingsDialogsOwn) {
  const DialogTemplate& settings = OrvellaDialogTemplate();
  EXPECT_EQ(settings.TabOrder(),
            (std::vector<int>{1000, 1032, 1033, 1007, 1012, 1014, 1008, 1016, 1017, 1006, 1003,
                              kIdOk, kIdCancel, 1002, 1009}));
  EXPECT_EQ(AuthorizeDialogTemplate().TabOrder(), (std::vector<int>{1002, 1003, kIdOk, kIdCancel}));
  EXPECT_EQ(FindDialogTemplate(1000), &settings);
  EXPECT_EQ(FindDialogTemplate(1001), &AuthorizeDialogTemplate());
  EXPECT_EQ(FindDialogTemplate(1002), nullptr);
}

TEST(DialogTemplates, ControlsHaveUniqueIdsInsideTheDialog) {
  for (const DialogTemplate* dialog : {&OrvellaDialogTemplate(), &AuthorizeDialogTemplate()}) {
    int defaults = 0;
    for (const ControlTemplate& control : dialog->controls) {
      if (control.kind == ControlKind::kDefPushButton) ++defaults;
      const DialogRect& r = control.rect;
      EXPECT_LE(r.x + r.cx, dialog->cx) << control.id;
      EXPECT_LE(r.y + r.cy, dialog->cy) << control.id;
      if (control.id == kIdcStatic) continue;
      EXPECT_EQ(dialog->Find(control.id), &control) << "duplicate id " << control.id;
    }
    EXPECT_EQ(defaults, 1) << dialog->id;
    EXPECT_EQ(dialog->Find(kIdOk)->kind, ControlKind::kDefPushButton);
  }
}

TEST(DialogTemplates, PasswordIsMaskedAndNothingElseIs) {
  for (const DialogTemplate* dialog : {&OrvellaDialogTemplate(), &AuthorizeDialogTemplate()}) {
    for (const ControlTemplate& control : dialog->controls) {
      const bool password = dialog->id == kIddAuthorize && control.id == kIdcPassword;
      EXPECT_EQ((control.style & kEsPassword) != 0, password) << dialog->id << "/" << control.id;
    }
  }
}

TEST(DialogUnits, ConvertLikeTheDialogManager) {
  // Base units 7 x 13: x * 7 / 4 and y * 13 / 8, rounded to nearest.
  const PixelRect r = MapDialogRect({7, 7, 83, 10}, {7, 13});
  EXPECT_EQ(r.x, 12);                                    // 12.25
  EXPECT_EQ(r.y, 11);                                    // 11.375
  EXPECT_EQ(r.cx, 145);                                  // 145.25
  EXPECT_EQ(r.cy, 16);                                   // 16.25
  EXPECT_EQ(MapDialogRect({2, 4, 0, 0}, {6, 13}).x, 3);  // 3 exactly
  EXPECT_EQ(MapDialogRect({1, 4, 0, 0}, {6, 13}).y, 7);  // 6.5 rounds up
  // Average width of the 52 letters, as the dialog manager rounds it.
  EXPECT_EQ(AverageCharWidth(312), 6);  // 6.0
  EXPECT_EQ(AverageCharWidth(338), 7);  // 6.5
  EXPECT_EQ(AverageCharWidth(335), 6);  // 6.44
}

}  // namespace
}  // namespace orvella::test
