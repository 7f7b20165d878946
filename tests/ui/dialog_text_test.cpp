// Reading numeric fields, the range prompt, and the names taken from the module's path.
#include <gtest/gtest.h>

#include "ui/integer_field.h"
#include "ui/module_file.h"

namespace orvella::test {
namespace {

TEST(IntegerField, ReadsLeadingSignedNumberOfFirst63Characters) {
  EXPECT_EQ(ReadIntegerField(L"12abc"), 12);
  EXPECT_EQ(ReadIntegerField(L" \t+7"), 7);
  EXPECT_EQ(ReadIntegerField(L"-0"), 0);
  EXPECT_EQ(ReadIntegerField(L"-2147483648"), INT32_MIN);
  EXPECT_EQ(ReadIntegerField(L"2147483647"), INT32_MAX);
  EXPECT_EQ(ReadIntegerField(std::wstring(60, L' ') + L"1234"), 123);
  for (const wchar_t* bad :
       {L"", L"abc", L"-", L"+ 1", L"2147483648", L"-2147483649", L"99999999999999999999"}) {
    EXPECT_FALSE(ReadIntegerField(bad).has_value()) << bad;
  }
  EXPECT_EQ(ReadIntegerField(L"0x10"), 0);
  EXPECT_FALSE(ReadIntegerField(std::wstring(63, L' ') + L"5").has_value());
}

TEST(IntegerField, RangePromptNamesBothBounds) {
  EXPECT_EQ(FormatRangePrompt(1, 999999), L"Enter an integer between 1 and 999999.");
  EXPECT_EQ(FormatRangePrompt(-5, 0), L"Enter an integer between -5 and 0.");
}

TEST(ModuleFile, TitleAndHelpComeFromModulePath) {
  EXPECT_EQ(ApplicationTitleOf(L"/opt/rovanta/plugins/Orvella.rpl"), L"Orvella");
  EXPECT_EQ(ApplicationTitleOf(L"/a.b/Orvella"), L"Orvella");
  EXPECT_EQ(ApplicationTitleOf(L"/x/My.Plugin.rpl"), L"My.Plugin");
  EXPECT_EQ(ApplicationTitleOf(L""), L"Orvella");
  EXPECT_EQ(HelpFilePathOf(L"/opt/rovanta/plugins/Orvella.rpl"),
            L"/opt/rovanta/plugins/Orvella.chm");
  EXPECT_EQ(HelpFilePathOf(L"Orvella.rpl"), L"Orvella.chm");
  EXPECT_FALSE(ModuleFilePath().empty());
}

}  // namespace
}  // namespace orvella::test
