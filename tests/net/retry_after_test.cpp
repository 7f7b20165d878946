// Retry-After values: seconds, the three HTTP date forms, and what is neither.
#include "net/retry_after.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace orvella::test {
namespace {

// 1994-11-06 08:49:37 UTC, the date of HTTP's own examples.
constexpr int64_t kExampleDate = 784111777;

TEST(RetryAfter, DeltaSecondsAreTakenAsTheyAreAndCannotOverflow) {
  EXPECT_EQ(RetryAfterSeconds("120", 0), 120);
  EXPECT_EQ(RetryAfterSeconds("0", 5), 0);
  EXPECT_EQ(RetryAfterSeconds(" \t 3600 \r\n", 0), 3600);
  EXPECT_EQ(RetryAfterSeconds("007", 0), 7);
  EXPECT_EQ(RetryAfterSeconds("9223372036854775807", 0), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(RetryAfterSeconds("99999999999999999999999", 0), std::numeric_limits<int64_t>::max());
}

TEST(RetryAfter, EachDateFormCountsFromNowAndAPassedDateAsksNoWait) {
  for (const char* date : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                           "Sun Nov  6 08:49:37 1994", "sun, 06 NOV 1994 08:49:37 GMT"}) {
    SCOPED_TRACE(date);
    EXPECT_EQ(RetryAfterSeconds(date, kExampleDate - 90), 90);
    EXPECT_EQ(RetryAfterSeconds(date, kExampleDate - 1), 1);
    EXPECT_EQ(RetryAfterSeconds(date, kExampleDate), 0);
    EXPECT_EQ(RetryAfterSeconds(date, kExampleDate + 86400), 0);
  }
  // Two-digit days of asctime, month ends and leap days land on the right second.
  EXPECT_EQ(RetryAfterSeconds("Wed Nov 16 08:49:37 1994", kExampleDate), 10 * 86400);
  EXPECT_EQ(RetryAfterSeconds("Thu, 29 Feb 2024 00:00:00 GMT", 1709164800 - 60), 60);
  EXPECT_EQ(RetryAfterSeconds("Sat, 01 Jan 2000 00:00:00 GMT", 946684800 - 1), 1);
  EXPECT_EQ(RetryAfterSeconds("Sat, 31 Dec 2101 23:59:59 GMT", 4165516799 - 5), 5);
}

// A two-digit year more than 50 years ahead is the most recent past year with its digits.
TEST(RetryAfter, TwoDigitYearsAreTheNearestThatIsNotFarAhead) {
  const int64_t in2026 = 1767225600;  // 2026-01-01 00:00:00 UTC
  EXPECT_EQ(RetryAfterSeconds("Thursday, 01-Jan-26 00:01:00 GMT", in2026), 60);
  EXPECT_EQ(RetryAfterSeconds("Wednesday, 01-Jan-76 00:00:00 GMT", in2026),
            3345062400 - in2026);  // 2076: exactly 50 years ahead
  EXPECT_EQ(RetryAfterSeconds("Saturday, 01-Jan-77 00:00:00 GMT", in2026), 0);  // 1977
}

TEST(RetryAfter, WhatIsNeitherGivesNothing) {
  for (const char* value : {"",
                            " ",
                            "soon",
                            "-5",
                            "+5",
                            "1.5",
                            "12 s",
                            "0x10",
                            "Sun, 06 Nov 1994 08:49:37 UTC",
                            "Sun, 06 Nov 1994 08:49:37",
                            "Sun, 6 Nov 1994 08:49:37 GMT",
                            "Sun, 06 Nov 94 08:49:37 GMT",
                            "Sun, 31 Nov 1994 08:49:37 GMT",
                            "Sun, 29 Feb 1900 08:49:37 GMT",
                            "Sun, 06 Xyz 1994 08:49:37 GMT",
                            "Sun, 06 Nov 1994 24:00:00 GMT",
                            "Sun, 06 Nov 1994 08:60:00 GMT",
                            "Sun, 06 Nov 1994 8:49:37 GMT",
                            "Sunday, 06-Nov-1994 08:49:37 GMT",
                            "Sun Nov 6 08:49:37 1994",
                            "Sun Nov  6 08:49:37 94",
                            "Sun,06 Nov 1994 08:49:37 GMT",
                            "Sun, 06 Nov 1994 08:49:37 GMT trailing",
                            "1, 06 Nov 1994 08:49:37 GMT"}) {
    EXPECT_EQ(RetryAfterSeconds(value, kExampleDate - 100), std::nullopt) << value;
  }
}

}  // namespace
}  // namespace orvella::test
