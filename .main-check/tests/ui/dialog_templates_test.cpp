// The one description of templates 1000 and 1001, its conversion to pixels, and the
// reading of numeric fields.
#include "resources/dialog_templates.h"

#include <gtest/gtest.h>

#include "system/module_file.h"
#include "ui/dialog_units.h"
#include "ui/integer_field.h"

namespace orvella::test {
namespace {

TEST(DialogTemplates, TabOrderAndDefaultButtonAndMaskedPassword) {
  EXPECT_EQ(OrvellaDialogTemplate().TabOrder(),
            (std::vector<int>{1000, 1032, 1033, 1007, 1012, 1014, 1008, 1016, 1017, 1006, 1003,
                              kIdOk, kIdCancel, 1002, 1009}));
  EXPECT_EQ(AuthorizeDialogTemplate().TabOrder(), (std::vector<int>{1002, 1003, kIdOk, kIdCancel}));
  for (const DialogTemplate* dialog : {&OrvellaDialogTemplate(), &AuthorizeDialogTemplate()}) {
    EXPECT_EQ(dialog->Find(kIdOk)->kind, ControlKind::kDefPushButton);
    for (const ControlTemplate& control : dialog->controls) {
      const bool password = dialog->id == kIddAuthorize && control.id == kIdcPassword;
      EXPECT_EQ((control.style & kEsPassword) != 0, password) << control.id;
    }
  }
}

TEST(DialogTemplates, DialogUnitsConvertLikeTheDialogManager) {
  // Base units 7 x 13: x * 7 / 4 and y * 13 / 8, rounded to nearest, halves up.
  const PixelRect r = MapDialogRect({7, 7, 83, 10}, {7, 13});
  EXPECT_EQ((std::vector<int>{r.x, r.y, r.cx, r.cy}), (std::vector<int>{12, 11, 145, 16}));
  EXPECT_EQ(MapDialogRect({1, 4, 0, 0}, {6, 13}).y, 7);  // 6.5
  EXPECT_EQ(AverageCharWidth(338), 7);                   // 52 letters, 6.5 on average
  EXPECT_EQ(AverageCharWidth(335), 6);
}

TEST(IntegerField, ReadsLeadingNumberOfFirst63CharactersWithoutWrapping) {
  EXPECT_EQ(ReadIntegerField(L" \t+7x"), 7);
  EXPECT_EQ(ReadIntegerField(L"-2147483648"), INT32_MIN);
  EXPECT_EQ(ReadIntegerField(std::wstring(60, L' ') + L"1234"), 123);
  for (const wchar_t* bad : {L"-", L"+ 1", L"2147483648", L"4294967297"}) {
    EXPECT_FALSE(ReadIntegerField(bad).has_value()) << bad;
  }
  EXPECT_EQ(FormatRangePrompt(-5, 0), L"Enter an integer between -5 and 0.");
  EXPECT_EQ(ApplicationTitleOf(L"/opt/host/plugins/Orvella.rpl"), L"Orvella");
  EXPECT_EQ(HelpFilePathOf(L"/opt/host/plugins/Orvella.rpl"), L"/opt/host/plugins/Orvella.chm");
}

}  // namespace
}  // namespace orvella::test
