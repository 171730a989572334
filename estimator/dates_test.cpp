#include "dates.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A stamp in a few characters: the date's fields as written ("Y" before a
// year-first date, " yy" after a two-digit year, "-" for no date), then the
// time of day; "none" when the reader returned false.
std::string describe(bool bRead, const LineStamp& stamp) {
  if (!bRead) return stamp.bHasTime ? "none, yet a time" : "none";
  char szText[64];
  if (stamp.bHasDate) {
    std::snprintf(szText, sizeof szText, "%s%d/%d/%d%s ", stamp.bYearFirst ? "Y" : "",
                  stamp.nField1, stamp.nField2, stamp.nField3, stamp.bTwoDigitYear ? " yy" : "");
  } else {
    std::snprintf(szText, sizeof szText, "- ");
  }
  std::string text = szText;
  if (!stamp.bHasTime) return text + "no time";
  const int n = stamp.nSecondOfDay;
  std::snprintf(szText, sizeof szText, "%02d:%02d:%02d", n / 3600, n / 60 % 60, n % 60);
  return text + szText;
}

std::string logStamp(const std::string& line) {
  LineStamp stamp;
  stamp.nField1 = 99;  // the reader starts from nothing
  stamp.bHasTime = true;
  bool bRead = readLogStamp(line.c_str(), stamp);
  return describe(bRead, stamp);
}

struct StampCase {
  const char* szLine;
  const char* szExpected;
};

void expectLogStamps(const std::vector<StampCase>& cases) {
  for (const StampCase& c : cases) EXPECT_EQ(logStamp(c.szLine), c.szExpected) << c.szLine;
}

TEST(LogStamp, ReadsEveryDateLayout) {
  expectLogStamps({
      {"22-09-2023 22:01:07 Sending file-->        85,113 /var/log/secure [done]",
       "22/9/2023 22:01:07"},
      {"12/07/2026 22:01:07 Sending file-->        85,113 C:\\Data\\a.doc [done]",
       "12/7/2026 22:01:07"},
      {"2026-12-07 22:01:07 Retry 1: Sending file-->     1,756,058 /a [done]",
       "Y2026/12/7 22:01:07"},
      {"07.12.2026 22:01:07 Sending directory-->                 0 /srv [done]",
       "7/12/2026 22:01:07"},
      {"2026/12/07 00:00:00 x", "Y2026/12/7 00:00:00"},
      {"2026.12.07 23:59:59 x", "Y2026/12/7 23:59:59"},
      {"1/2/2026 7:08:09 x", "1/2/2026 07:08:09"},
      {"12/07/26 22:01:07 two-digit year", "12/7/26 yy 22:01:07"},
      {"07.12.26 22:01 no seconds", "7/12/26 yy 22:01:00"},
      {"07.12.2026\t22:01:07\ttabs", "7/12/2026 22:01:07"},
      {"07.12.2026   22:01:07 blanks", "7/12/2026 22:01:07"},
      {"07.12.2026 22:01:07", "7/12/2026 22:01:07"},
      {"07.12.2026 22:01:07\r", "7/12/2026 22:01:07"},
      {"07.12.2026 22.01.07 full stops", "7/12/2026 22:01:07"},
      {"2026-12-07 22:01:07.123 fraction", "Y2026/12/7 22:01:07"},
      {"2026-12-07 22:01:07,5 fraction", "Y2026/12/7 22:01:07"},
      {"00-00-0000 22:01:07 fields as written, checked later", "0/0/0 22:01:07"},
  });
}

TEST(LogStamp, TimeWithoutReadableDate) {
  expectLogStamps({
      {"22:01:07 Sending file-->  1 /a", "- 22:01:07"},
      {"07-Dec-2026 22:01:07 x", "- 22:01:07"},
      {"07/12-2026 22:01:07 mixed separators", "- 22:01:07"},
      {"12345-12-07 22:01:07 five-digit year", "- 22:01:07"},
      {"2026-12-7777 22:01:07", "- 22:01:07"},
      {"7-12-202 22:01:07 three-digit year", "- 22:01:07"},
      {"7-12-2 22:01:07 one-digit year", "- 22:01:07"},
      {"123/12/26 22:01:07", "- 22:01:07"},
  });
}

TEST(LogStamp, TwelveHourTimesAroundNoonAndMidnight) {
  expectLogStamps({
      {"12/07/2026 12:00:00 AM x", "12/7/2026 00:00:00"},
      {"12/07/2026 12:59:59 AM x", "12/7/2026 00:59:59"},
      {"12/07/2026 01:00:00 AM x", "12/7/2026 01:00:00"},
      {"12/07/2026 11:59:59 AM x", "12/7/2026 11:59:59"},
      {"12/07/2026 12:00:00 PM x", "12/7/2026 12:00:00"},
      {"12/07/2026 12:59:59 PM x", "12/7/2026 12:59:59"},
      {"12/07/2026 01:00:00 PM x", "12/7/2026 13:00:00"},
      {"12/07/2026 10:01:07 PM x", "12/7/2026 22:01:07"},
      {"12/07/2026 11:59:59 PM x", "12/7/2026 23:59:59"},
      {"12/07/2026 10:01:07 pm x", "12/7/2026 22:01:07"},
      {"12/07/2026 10:01:07 am x", "12/7/2026 10:01:07"},
      {"12/07/2026 10:01:07 p.m. x", "12/7/2026 22:01:07"},
      {"12/07/2026 10:01:07 P.M. x", "12/7/2026 22:01:07"},
      {"12/07/2026 12:01:07 a. m. x", "12/7/2026 00:01:07"},
      {"12/07/2026 10:01:07 p. m. x", "12/7/2026 22:01:07"},
      {"12/07/2026 10:01:07PM x", "12/7/2026 22:01:07"},
      {"12/07/2026 10:01p x", "12/7/2026 22:01:00"},
      {"12/07/2026 12:01a x", "12/7/2026 00:01:00"},
      {"12/07/2026 10:01:07 PM", "12/7/2026 22:01:07"},
      {"2026-12-07 10:01:07 \xE4\xB8\x8B\xE5\x8D\x88 x", "Y2026/12/7 22:01:07"},
      {"2026-12-07 \xE4\xB8\x8B\xE5\x8D\x88 10:01:07 x", "Y2026/12/7 22:01:07"},
      {"2026-12-07 \xE4\xB8\x8A\xE5\x8D\x88 12:01:07 x", "Y2026/12/7 00:01:07"},
      {"2026-12-07 \xEC\x98\xA4\xED\x9B\x84 1:01:07 x", "Y2026/12/7 13:01:07"},
      {"2026-12-07 \xE5\x8D\x88\xE5\xBE\x8C 1:01:07 x", "Y2026/12/7 13:01:07"},
      {"2026/12/07 \xCF\xC2\xCE\xE7 01:01:07 x", "Y2026/12/7 13:01:07"},
      {"2026-12-07 PM 10:01:07 x", "Y2026/12/7 22:01:07"},
      {"2026-12-07 PM 10:01:07 AM: after a marker, the message", "Y2026/12/7 22:01:07"},
      // Words after the time that only start like markers are the message.
      {"12/07/2026 10:01:07 Amount x", "12/7/2026 10:01:07"},
      {"12/07/2026 10:01:07 pm-x", "12/7/2026 10:01:07"},
      {"12/07/2026 10:01:07  PMs", "12/7/2026 10:01:07"},
  });
}

TEST(LogStamp, MissingOrMalformedTime) {
  expectLogStamps({
      {"", "none"},
      {"12/07/2026", "none"},
      {"12/07/2026 ", "none"},
      {"12/07/2026 Sending file-->  1 /a", "none"},
      {"12/07/2026 25:00:00 x", "none"},
      {"12/07/2026 24:00:00 x", "none"},
      {"12/07/2026 12:60:00 x", "none"},
      {"12/07/2026 12:00:60 x", "none"},
      {"12/07/2026 1:2:3 x", "none"},
      {"12/07/2026 1:02:3 x", "none"},
      {"12/07/2026 123:02:03 x", "none"},
      {"12/07/2026 10:011:07 x", "none"},
      {"12/07/2026 10:01:07x", "none"},
      {"12/07/2026 10:01;07 x", "none"},
      {"12/07/2026 10:01.07 mixed separators", "none"},
      {"12/07/202622:01:07 no blank", "none"},
      {"12/07/2026 13:00:00 PM x", "none"},
      {"12/07/2026 00:30:00 AM x", "none"},
      {" 12/07/2026 22:01:07 indented", "none"},
      {"Sending file at 10:30 -->  1 /a", "none"},
      {"Retry 10:30:00 x", "none"},
      {"10.30 full stops need a date", "none"},
      {"1.5 GB sent at 10:30", "none"},
      {"PM 10:01:07 a marker needs a date before it", "none"},
  });
  // A date whose time is missing is still reported.
  LineStamp stamp;
  EXPECT_FALSE(readLogStamp("12/07/2026 Sending", stamp));
  EXPECT_TRUE(stamp.bHasDate);
  EXPECT_FALSE(stamp.bHasTime);
  EXPECT_EQ(stamp.nField3, 2026);
}

// Every second of the day, written on a 24-hour and on a 12-hour clock.
TEST(LogStamp, EverySecondOfTheDay) {
  for (int n = 0; n < 86400; n++) {
    const int nHour = n / 3600;
    const int nHour12 = nHour % 12 == 0 ? 12 : nHour % 12;
    char szLine24[64];
    char szLine12[64];
    std::snprintf(szLine24, sizeof szLine24, "07.12.2026 %02d:%02d:%02d x", nHour, n / 60 % 60,
                  n % 60);
    std::snprintf(szLine12, sizeof szLine12, "12/07/2026 %d:%02d:%02d %s x", nHour12, n / 60 % 60,
                  n % 60, nHour < 12 ? "AM" : "PM");
    LineStamp stamp;
    ASSERT_TRUE(readLogStamp(szLine24, stamp)) << szLine24;
    ASSERT_EQ(stamp.nSecondOfDay, n) << szLine24;
    ASSERT_TRUE(readLogStamp(szLine12, stamp)) << szLine12;
    ASSERT_EQ(stamp.nSecondOfDay, n) << szLine12;
  }
}

}  // namespace
