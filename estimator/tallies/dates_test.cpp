#include "tallies/dates.h"

#include <gtest/gtest.h>

#include <cstdint>
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

namespace {

std::string listingStamp(const std::string& line) {
  LineStamp stamp;
  stamp.nField1 = 99;
  bool bRead = readListingStamp(line.c_str(), stamp);
  return describe(bRead, stamp);
}

void expectListingStamps(const std::vector<StampCase>& cases) {
  for (const StampCase& c : cases) EXPECT_EQ(listingStamp(c.szLine), c.szExpected) << c.szLine;
}

TEST(ListingStamp, ReadsEveryLayout) {
  expectListingStamps({
      {"03/14/2024  03:15 PM            48,213 notes.txt", "3/14/2024 15:15:00"},
      {"02/29/2024  12:07 AM             1,024 settings.ini", "2/29/2024 00:07:00"},
      {"01/05/2024  12:30 PM         3,145,728 keys.zip", "1/5/2024 12:30:00"},
      {"12/24/2023  11:59 PM                 0 empty.log", "12/24/2023 23:59:00"},
      {"03/12/2024  09:41 AM    <DIR>          Documents", "3/12/2024 09:41:00"},
      {"14/03/2024  15:02            48,213 notes.txt", "14/3/2024 15:02:00"},
      {"14.03.2024  15:02           111.498 notiz.txt", "14/3/2024 15:02:00"},
      {"14/03/2024  15:02            28\xC2\xA0"
       "714 notes.txt",
       "14/3/2024 15:02:00"},
      {"14/03/2024  10:37 a. m.        111,498 notas.txt", "14/3/2024 10:37:00"},
      {"13/03/2024  10:15 p. m.      2,750,112 charla.pptx", "13/3/2024 22:15:00"},
      {"12/03/2024  12:00 p. m.          3,301 claves.dat", "12/3/2024 12:00:00"},
      {"12/03/2024  12:45 a. m.         40,960 foto.jpg", "12/3/2024 00:45:00"},
      {"2024/03/14  15:02            48,213 notes.txt", "Y2024/3/14 15:02:00"},
      {"2024/03/14  03:15 \xE4\xB8\x8B\xE5\x8D\x88         48,213 a.txt", "Y2024/3/14 15:15:00"},
      {"2024/03/05  12:12 \xE4\xB8\x8A\xE5\x8D\x88    <DIR>          b", "Y2024/3/5 00:12:00"},
      {"2024/03/14  \xE4\xB8\x8B\xE5\x8D\x88 03:15         48,213 a.txt", "Y2024/3/14 15:15:00"},
      {"2024-03-14  \xEC\x98\xA4\xED\x9B\x84 03:15         48,213 a.txt", "Y2024/3/14 15:15:00"},
      {"2024/03/14  03:15 \xCF\xC2\xCE\xE7         48,213 a.txt", "Y2024/3/14 15:15:00"},
      {"2024/03/14  \x8C\xDF\x91\x4F 11:15         48,213 a.txt", "Y2024/3/14 11:15:00"},
      {"14-03-24  15:02             1,234 a.txt", "14/3/24 yy 15:02:00"},
      {"03/14/96  03:15 PM          1,234 a.txt", "3/14/96 yy 15:15:00"},
      {"03/14/24  15:02       1234 /srv/share/a.txt", "3/14/24 yy 15:02:00"},
      {"11/02/2023  11:02p          1,234 a.txt", "11/2/2023 23:02:00"},
      {"10/04/2004  20.59       240.695.296 film 01.avi", "10/4/2004 20:59:00"},
      {"10.04.2004  8.59.13     1 a.txt", "10/4/2004 08:59:13"},
      {"-a----        3/14/2024   3:15 PM          48213 notes.txt", "3/14/2024 15:15:00"},
      {"-a---l          3/1/2024  10:00 AM              0 settings.ini", "3/1/2024 10:00:00"},
      {"d-r---         3/14/2024   3:15 PM                Documents", "3/14/2024 15:15:00"},
      {"-a---         14/03/2024     15:02          48213 notes.txt", "14/3/2024 15:02:00"},
      {"d----         14/03/2024     15:02                Music", "14/3/2024 15:02:00"},
      {"-a----        2024-03-14   \xEC\x98\xA4\xEC\xA0\x84 9:05   48213 a.txt",
       "Y2024/3/14 09:05:00"},
      {"14/03/2024  15:02", "14/3/2024 15:02:00"},
  });
}

TEST(ListingStamp, LinesWithoutReadableStamp) {
  expectListingStamps({
      {"", "none"},
      {" Volume in drive C is Data", "none"},
      {" Directory of D:\\Projects", "none"},
      {"               3 File(s)        665,216 bytes", "none"},
      {"              24 File  4.449.988.608 byte", "none"},
      {"Mode                 LastWriteTime         Length Name", "none"},
      {"----                 -------------         ------ ----", "none"},
      {"-a-----x      3/14/2024   3:15 PM          48213 notes.txt", "none"},
      {"14/03/2024", "none"},
      {"14/03/2024  <DIR>  a", "none"},
      {"14/03/2024  25:02            1 a.txt", "none"},
      {"14/03/2024  15:60            1 a.txt", "none"},
      {"14/03/2024  15:2            1 a.txt", "none"},
      {"14/03/2024  13:02 PM         1 a.txt", "none"},
      {"14/03/2024  00:02 AM         1 a.txt", "none"},
      {"14/03/2024  15-02            1 a.txt", "none"},
      // A marker not known to the reader leaves the hour unknown.
      {"14/03/2024  03:15 zz         1 a.txt", "none"},
      {"14/03/2024  03:15 z. z.      1 a.txt", "none"},
      {"14/03/2024  03:15 zz    <DIR>  a", "none"},
  });
}

// The position listingTimeEnd returns, as an offset, or -1 for nullptr.
long timeEnd(const char* szLine) {
  const char* p = listingTimeEnd(szLine);
  return p == nullptr ? -1 : p - szLine;
}

TEST(ListingStamp, TimeEndWithFullStop) {
  EXPECT_EQ(timeEnd("10/04/2004  20.59       240.695.296 film 01.avi"), 17);
  EXPECT_EQ(timeEnd("10.04.2004  8.59  1 a.txt"), 16);
  EXPECT_EQ(timeEnd("10.04.2004  20.59.13  1 a.txt"), 20);
  EXPECT_EQ(timeEnd("10/04/2004  08.59p  1 a.txt"), 18);
  EXPECT_EQ(timeEnd("-a----    10.04.2004    20.59   240695296 a.avi"), 29);
  EXPECT_EQ(timeEnd("10/04/2004  20.59"), 17);
  EXPECT_EQ(timeEnd("10/04/2004  24.00  1 a.txt"), -1);
  EXPECT_EQ(timeEnd("10/04/2004  20.60  1 a.txt"), -1);
  EXPECT_EQ(timeEnd("10/04/2004  20.5  1 a.txt"), -1);
  EXPECT_EQ(timeEnd("10/04/2004  2059  1 a.txt"), -1);
  EXPECT_EQ(timeEnd("10/04/2004  20.59.1  a.txt"), -1);
  EXPECT_EQ(timeEnd("10/04/2004  20.59x  1 a.txt"), -1);
  EXPECT_EQ(timeEnd("10/04/2004  <DIR>  a"), -1);
  EXPECT_EQ(timeEnd("              24 File  4.449.988.608 byte"), -1);
  EXPECT_EQ(timeEnd("1.5 GB  20.59"), -1);
  EXPECT_EQ(timeEnd(" Volume in drive C is Data"), -1);
}

LineStamp yearFirst(int nYear, int nMonth, int nDay, int nSecondOfDay = 0) {
  LineStamp stamp;
  stamp.nField1 = nYear;
  stamp.nField2 = nMonth;
  stamp.nField3 = nDay;
  stamp.bYearFirst = true;
  stamp.bHasDate = true;
  stamp.bHasTime = true;
  stamp.nSecondOfDay = nSecondOfDay;
  return stamp;
}

std::string momentText(std::int64_t nMoment) {
  char szText[kMomentTextSize];
  formatMoment(nMoment, szText);
  return szText;
}

// Every day of the years 1 to 9999, against a calendar that counts day by
// day: exactly these are dates, their moments rise, also from the last
// second of a day to the first of the next, and month ends print back.
TEST(Moment, EveryDayAgainstCountedCalendar) {
  const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  std::int64_t nLast = -1;
  for (int nYear = 1; nYear <= 9999; nYear++) {
    const bool bLeap = nYear % 4 == 0 && (nYear % 100 != 0 || nYear % 400 == 0);
    for (int nMonth = 1; nMonth <= 12; nMonth++) {
      const int nDays = kDays[nMonth - 1] + (nMonth == 2 && bLeap ? 1 : 0);
      for (int nDay = 1; nDay <= nDays + 1; nDay++) {
        std::int64_t nMoment = -1;
        const bool bDate =
            computeMoment(yearFirst(nYear, nMonth, nDay), DateOrder::kMonthFirst, nMoment);
        ASSERT_EQ(bDate, nDay <= nDays) << nYear << "-" << nMonth << "-" << nDay;
        if (!bDate) continue;
        ASSERT_GT(nMoment, nLast) << nYear << "-" << nMonth << "-" << nDay;
        if (nDay == 1 || nDay == nDays) {
          char szDate[32];
          std::snprintf(szDate, sizeof szDate, "%04d-%02d-%02d 00:00:00", nYear, nMonth, nDay);
          ASSERT_EQ(momentText(nMoment), szDate);
        }
        ASSERT_TRUE(
            computeMoment(yearFirst(nYear, nMonth, nDay, 86399), DateOrder::kMonthFirst, nLast));
      }
    }
  }
  EXPECT_EQ(momentText(nLast), "9999-12-31 23:59:59");
}

TEST(Moment, FieldsThatAreNoDate) {
  std::int64_t nMoment;
  for (const LineStamp& stamp :
       {yearFirst(0, 1, 1), yearFirst(2024, 0, 1), yearFirst(2024, 13, 1), yearFirst(2024, 1, 0),
        yearFirst(2023, 2, 29), yearFirst(1900, 2, 29), yearFirst(2024, 4, 31)}) {
    EXPECT_FALSE(computeMoment(stamp, DateOrder::kYearFirst, nMoment)) << stamp.nField1;
  }
  LineStamp stamp = yearFirst(2024, 1, 1);
  stamp.bHasTime = false;
  EXPECT_FALSE(computeMoment(stamp, DateOrder::kYearFirst, nMoment));
  stamp = yearFirst(2024, 1, 1);
  stamp.bHasDate = false;
  EXPECT_FALSE(computeMoment(stamp, DateOrder::kYearFirst, nMoment));
}

// The moment of a listing line under an order, as text, or "no date".
std::string lineMoment(const char* szLine, DateOrder order) {
  LineStamp stamp;
  std::int64_t nMoment;
  if (!readListingStamp(szLine, stamp) || !computeMoment(stamp, order, nMoment)) return "no date";
  return momentText(nMoment);
}

TEST(Moment, FieldOrders) {
  const char* szLine = "03/04/2024  15:02:07   1 a.txt";
  EXPECT_EQ(lineMoment(szLine, DateOrder::kMonthFirst), "2024-03-04 15:02:07");
  EXPECT_EQ(lineMoment(szLine, DateOrder::kDayFirst), "2024-04-03 15:02:07");
  EXPECT_EQ(lineMoment(szLine, DateOrder::kYearFirst), "no date");
  EXPECT_EQ(lineMoment("24/03/14  15:02   1 a.txt", DateOrder::kYearFirst), "2024-03-14 15:02:00");
  EXPECT_EQ(lineMoment("14/03/2024  15:02  1 a", DateOrder::kMonthFirst), "no date");
  EXPECT_EQ(lineMoment("14/03/2024  15:02  1 a", DateOrder::kDayFirst), "2024-03-14 15:02:00");
  for (DateOrder order : {DateOrder::kMonthFirst, DateOrder::kDayFirst, DateOrder::kYearFirst}) {
    EXPECT_EQ(lineMoment("2024/03/04  15:02  1 a", order), "2024-03-04 15:02:00");
  }
}

TEST(Moment, TwoDigitYearsAcrossTheCentury) {
  const StampCase cases[] = {
      {"12/31/99  11:59 PM  1 a", "1999-12-31 23:59:00"},
      {"01/01/00  12:00 AM  1 a", "2000-01-01 00:00:00"},
      {"03/14/79  15:02  1 a", "2079-03-14 15:02:00"},
      {"03/14/80  15:02  1 a", "1980-03-14 15:02:00"},
      {"03/14/96  15:02  1 a", "1996-03-14 15:02:00"},
      {"02/29/00  15:02  1 a", "2000-02-29 15:02:00"},
      {"03/14/1979  15:02  1 a", "1979-03-14 15:02:00"},
  };
  for (const StampCase& c : cases) {
    EXPECT_EQ(lineMoment(c.szLine, DateOrder::kMonthFirst), c.szExpected) << c.szLine;
  }
  EXPECT_EQ(lineMoment("29-02-00  15:02  1 a", DateOrder::kDayFirst), "2000-02-29 15:02:00");
  // Year first: the same boundary, at the line's start.
  EXPECT_EQ(lineMoment("80-03-14  15:02  1 a", DateOrder::kYearFirst), "1980-03-14 15:02:00");
  EXPECT_EQ(lineMoment("79-03-14  15:02  1 a", DateOrder::kYearFirst), "2079-03-14 15:02:00");
}

std::string sinceText(const char* szValue) {
  std::int64_t nMoment = -1;
  return parseSince(szValue, nMoment) ? momentText(nMoment) : "rejected";
}

TEST(Since, AcceptedAndRejectedValues) {
  const StampCase cases[] = {
      {"2026-12-06", "2026-12-06 00:00:00"},
      {"2026-12-06T22:00", "2026-12-06 22:00:00"},
      {"2026-12-06T22:00:30", "2026-12-06 22:00:30"},
      {"2026-12-06t22:00", "2026-12-06 22:00:00"},
      {"2026-12-06 22:00", "2026-12-06 22:00:00"},
      {"2024-02-29T23:59:59", "2024-02-29 23:59:59"},
      {"0001-01-01", "0001-01-01 00:00:00"},
      {"9999-12-31T23:59:59", "9999-12-31 23:59:59"},
      {"", "rejected"},
      {"2026-12-6", "rejected"},
      {"2026-1-06", "rejected"},
      {"26-12-06", "rejected"},
      {"20261206", "rejected"},
      {"2026/12/06", "rejected"},
      {"12/06/2026", "rejected"},
      {" 2026-12-06", "rejected"},
      {"2026-12-06 ", "rejected"},
      {"2026-12-06T", "rejected"},
      {"2026-12-06T22", "rejected"},
      {"2026-12-06T2200", "rejected"},
      {"2026-12-06T22:0", "rejected"},
      {"2026-12-06T22:00:", "rejected"},
      {"2026-12-06T22:00Z", "rejected"},
      {"2026-12-06T22:00+01:00", "rejected"},
      {"2026-12-06T22:00:30.5", "rejected"},
      {"2026-12-06T22:00:30:00", "rejected"},
      {"2026-12-06  22:00", "rejected"},
      {"2026-12-06T24:00", "rejected"},
      {"2026-12-06T23:60", "rejected"},
      {"2026-12-06T23:59:60", "rejected"},
      {"2026-02-29", "rejected"},
      {"2026-13-01", "rejected"},
      {"2026-00-10", "rejected"},
      {"2026-12-00", "rejected"},
      {"2026-12-32", "rejected"},
      {"0000-01-01", "rejected"},
  };
  for (const StampCase& c : cases) EXPECT_EQ(sinceText(c.szLine), c.szExpected) << c.szLine;
}

TEST(Since, DateOrderValues) {
  const std::vector<std::pair<const char*, DateOrder>> accepted = {
      {"mdy", DateOrder::kMonthFirst}, {"dmy", DateOrder::kDayFirst},
      {"ymd", DateOrder::kYearFirst},  {"DMY", DateOrder::kDayFirst},
      {"Ymd", DateOrder::kYearFirst},
  };
  for (const auto& value : accepted) {
    DateOrder order =
        value.second == DateOrder::kDayFirst ? DateOrder::kYearFirst : DateOrder::kDayFirst;
    EXPECT_TRUE(parseDateOrder(value.first, order)) << value.first;
    EXPECT_EQ(order, value.second) << value.first;
  }
  for (const char* szValue : {"", "md", "mdyy", "myd", "mdy ", " mdy", "m-d-y", "iso"}) {
    DateOrder order = DateOrder::kDayFirst;
    EXPECT_FALSE(parseDateOrder(szValue, order)) << szValue;
    EXPECT_EQ(order, DateOrder::kDayFirst) << szValue;
  }
}

std::int64_t sinceMoment(const char* szValue) {
  std::int64_t nMoment = 0;
  EXPECT_TRUE(parseSince(szValue, nMoment)) << szValue;
  return nMoment;
}

// "md" for a line selected month first and day first, "m-", "-d", "--".
std::string selection(OrderEvidence& evidence, const char* szLine, std::int64_t nSince) {
  LineStamp stamp;
  readListingStamp(szLine, stamp);
  Selection selected = selectStamp(evidence, stamp, nSince);
  return std::string(selected.bMonthFirst ? "m" : "-") + (selected.bDayFirst ? "d" : "-");
}

TEST(Selection, JustBeforeAtAndAfterTheMoment) {
  const std::int64_t nSince = sinceMoment("2026-12-06T22:00");
  const StampCase cases[] = {
      {"2026-12-06  21:59  1 a", "--"},
      {"2026-12-06  22:00  1 a", "md"},
      {"2026-12-06  22:01  1 a", "md"},
      {"2026/12/06  09:59 PM  1 a", "--"},
      {"2026/12/06  10:00 PM  1 a", "md"},
      {"2026/12/06  \xE4\xB8\x8B\xE5\x8D\x88 10:00  1 a", "md"},
      {"2026/12/06  10:00 \xE4\xB8\x8A\xE5\x8D\x88  1 a", "--"},
      {"12/06/2026  09:59 PM  1 a", "--"},  // day first: June 12
      {"12/06/2026  10:00 PM  1 a", "m-"},
      {"12/06/2026  10:00 p. m.  1 a", "m-"},
      {"06/12/2026  09:59 PM  1 a", "--"},  // month first: June 12
      {"06/12/2026  10:00 PM  1 a", "-d"},
      {"06.12.2026  21:59:59  1 a", "--"},
      {"06.12.2026  22.00  1 a", "-d"},
      {"-a----  12/6/2026  11:59 PM  1 a", "m-"},
      {"-a----  12/7/2026  12:00 AM  1 a", "m-"},  // day first: July 12
      {"12/06/26  22:00  1 a", "m-"},
      {"12/06/26  21:59  1 a", "--"},
      {"07/12/2026  00:00  1 a", "-d"},
      {"2026-13-06  22:00  1 a", "--"},
      {" Volume in drive C is Data", "--"},
  };
  OrderEvidence evidence;
  for (const StampCase& c : cases)
    EXPECT_EQ(selection(evidence, c.szLine, nSince), c.szExpected) << c.szLine;
  EXPECT_EQ(evidence.nUnreadableMonthFirst, 2u);
  EXPECT_EQ(evidence.nUnreadableDayFirst, 2u);
}

// What the evidence says: the verdict, the order chosen, whether the choice
// matters, and the files selected month first and day first.
std::string judge(const OrderEvidence& evidence) {
  const char* const kVerdicts[] = {"undecided", "month first", "day first", "contradicted"};
  std::string text = kVerdicts[static_cast<int>(judgeOrder(evidence))];
  text += chooseOrder(evidence) == DateOrder::kMonthFirst ? ", mdy" : ", dmy";
  text += orderMatters(evidence) ? ", matters, " : ", no matter, ";
  return text + std::to_string(evidence.nSelectedMonthFirst) + "/" +
         std::to_string(evidence.nSelectedDayFirst);
}

struct OrderCase {
  const char* szName;
  const char* szExpected;
  std::vector<const char*> lines;
};

TEST(Selection, OrderDecidedEarlyLateOrNever) {
  const std::int64_t nSince = sinceMoment("2024-03-10");
  const OrderCase cases[] = {
      {"decided early",
       "day first, dmy, matters, 1/3",
       {"14/03/2024  15:02  1 a", "03/04/2024  15:02  1 a", "11/03/2024  15:02  1 a"}},
      {"decided late",
       "month first, mdy, matters, 2/2",
       {"03/04/2024  15:02  1 a", "03/11/2024  15:02  1 a", "03/14/2024  15:02  1 a"}},
      {"never, the order changes the result",
       "undecided, mdy, matters, 1/2",
       {"03/04/2024  15:02  1 a", "05/06/2024  15:02  1 a"}},
      {"never, the order changes nothing",
       "undecided, mdy, no matter, 2/2",
       {"05/06/2024  15:02  1 a", "01/02/2023  15:02  1 a", "12/12/2024  15:02  1 a"}},
      {"year first proves nothing",
       "undecided, mdy, no matter, 2/2",
       {"2024/03/14  15:02  1 a", "2024-12-01  15:02  1 a"}},
      {"contradicted, day first more often",
       "contradicted, dmy, matters, 1/2",
       {"03/14/2024  15:02  1 a", "14/03/2024  15:02  1 a", "15/03/2024  15:02  1 a"}},
      {"contradicted, a tie",
       "contradicted, mdy, matters, 1/1",
       {"14/03/2024  15:02  1 a", "03/14/2024  15:02  1 a"}},
      {"no date under either reading",
       "undecided, mdy, no matter, 0/0",
       {"13/14/2024  15:02  1 a", "31/04/2024  15:02  1 a", "02/30/2024  15:02  1 a"}},
  };
  for (const OrderCase& c : cases) {
    OrderEvidence evidence;
    for (const char* szLine : c.lines) selection(evidence, szLine, nSince);
    EXPECT_EQ(judge(evidence), c.szExpected) << c.szName;
  }
}

TEST(Selection, DirectoryLinesWeighWithoutCounting) {
  OrderEvidence evidence;
  LineStamp stamp;
  ASSERT_TRUE(readListingStamp("25/12/2023  15:02    <DIR>          a", stamp));
  weighStamp(evidence, stamp);
  ASSERT_TRUE(readListingStamp("2023/12/25  15:02    <DIR>          a", stamp));
  weighStamp(evidence, stamp);
  EXPECT_EQ(judgeOrder(evidence), OrderVerdict::kDayFirst);
  EXPECT_EQ(evidence.nDayFirstProofs, 1u);
  EXPECT_EQ(evidence.nSelectedMonthFirst + evidence.nSelectedDayFirst +
                evidence.nUnreadableMonthFirst + evidence.nUnreadableDayFirst,
            0u);
}

}  // namespace

namespace {

// Every field of a stamp and what the reader returned.
std::string everyField(bool bRead, const LineStamp& s) {
  char szText[96];
  std::snprintf(szText, sizeof szText, "%d %d/%d/%d y%d t%d d%d h%d %d", bRead ? 1 : 0, s.nField1,
                s.nField2, s.nField3, s.bYearFirst ? 1 : 0, s.bTwoDigitYear ? 1 : 0,
                s.bHasDate ? 1 : 0, s.bHasTime ? 1 : 0, s.nSecondOfDay);
  return szText;
}

// The readers given a line's length read it a word at a time where they
// can, and judgeLineStamp judges it in the same pass: against the readers
// of plain text and judgeStamp, on lines of the common layout and lines
// just off it in every part, also cut short by a NUL.
void expectWordReadersAgree(const std::string& sLine) {
  // One cache for every line, as a reader keeps it: a date the line before
  // had is found again, and a changed one is read anew.
  static StampCache cache;
  const char* szLine = sLine.c_str();
  for (bool bListing : {false, true}) {
    LineStamp plain;
    LineStamp words;
    plain.nField1 = words.nField1 = 77;  // the readers start from nothing
    bool bPlain = bListing ? readListingStamp(szLine, plain) : readLogStamp(szLine, plain);
    bool bWords = bListing ? readListingStamp(szLine, sLine.size(), words, cache)
                           : readLogStamp(szLine, sLine.size(), words, cache);
    ASSERT_EQ(everyField(bWords, words), everyField(bPlain, plain))
        << (bListing ? "listing: " : "log: ") << szLine;
    for (const char* szSince : {"2024-03-14", "2024-03-14T15:15", "2024-12-03T00:00:01"}) {
      std::int64_t nSince = 0;
      ASSERT_TRUE(parseSince(szSince, nSince));
      bool bDayMonth = true;
      ASSERT_EQ(judgeLineStamp(szLine, sLine.size(), bListing, nSince, bDayMonth, cache),
                judgeStamp(plain, nSince))
          << (bListing ? "listing: " : "log: ") << szLine << " since " << szSince;
      ASSERT_EQ(bDayMonth, plain.bHasDate && !plain.bYearFirst) << szLine;
    }
  }
}

TEST(WordReaders, AgreeWithThePlainReaders) {
  const char* const kDates[] = {
      "03/14/2024", "12/03/2024",  "14.03.2024", "2024-03-14", "2024/12/03", "3/14/2024",
      "03/14/24",   "2024/3/14",   "03/14-2024", "02/29/2024", "02/29/2023", "29.02.2024",
      "2023-02-29", "00/00/0000",  "13/13/2024", "99/99/9999", "0000-01-01", "12/31/0000",
      "1a/14/2024", "03/14/20245", "2024-03-14x"};
  const char* const kGaps[] = {" ", "  ", "\t", ""};
  const char* const kTimes[] = {"03:15",      "3:15",  "00:00",    "12:00",    "23:59",
                                "24:00",      "12:60", "15:02:07", "23:59:59", "15:02:60",
                                "15:02:07.5", "15.02", "150:02",   "15:2",     "11:02p"};
  const char* const kAfters[] = {"",         " AM",  " pm",  " Pm.",
                                 " p. m.",   "  PM", " AMx", " \xE4\xB8\x8B\xE5\x8D\x88",
                                 " Sending", " zz",  "\tx",  " 1"};
  const char* const kRests[] = {"", "            41,954 a.txt", "    <DIR>          .", " word 12"};
  for (const char* szDate : kDates) {
    for (const char* szGap : kGaps) {
      for (const char* szTime : kTimes) {
        for (const char* szAfter : kAfters) {
          for (const char* szRest : kRests) {
            expectWordReadersAgree(std::string(szDate) + szGap + szTime + szAfter + szRest);
          }
        }
      }
    }
  }
}

TEST(WordReaders, StopAtANul) {
  const std::string kLines[] = {"03/14/2024  03:15 PM            48,213 notes.txt",
                                "12/07/2026 22:01:07 Sending file-->  85,113 /a [done]",
                                "2024-03-14  15:02:07            48,213 notes.txt"};
  for (const std::string& sLine : kLines) {
    for (std::size_t n = 0; n < sLine.size(); n++) {
      std::string sCut = sLine;
      sCut[n] = '\0';
      expectWordReadersAgree(sCut);
      expectWordReadersAgree(sLine.substr(0, n));
    }
  }
}

// A line's date read over and over, as a log repeats it, and changed in
// each of its bytes: the date kept from the line before is used only for
// the same bytes.
TEST(WordReaders, KeepTheLastDateOnlyForTheSameBytes) {
  const std::string sLine = "12/07/2026 22:01:07 Sending";
  for (std::size_t n = 0; n < 11; n++) {
    expectWordReadersAgree(sLine);
    for (char c : {'1', '/', ' ', 'x'}) {
      std::string sChanged = sLine;
      sChanged[n] = c;
      expectWordReadersAgree(sChanged);
      expectWordReadersAgree(sLine);
    }
  }
}

// The readings judgeStamp finds, for every pair of fields up to past 100
// (the readers give at most 99) in years around the leap years and the year
// 0, against computeMoment.
TEST(JudgeStamp, ReadingsOfEveryPairOfFields) {
  for (int nYear : {0, 1900, 1999, 2000, 2023, 2024, 9999}) {
    for (int a = -1; a <= 101; a++) {
      for (int b = -1; b <= 101; b++) {
        LineStamp stamp;
        stamp.nField1 = a;
        stamp.nField2 = b;
        stamp.nField3 = nYear;
        stamp.bHasDate = stamp.bHasTime = true;
        std::int64_t nMoment;
        const int nExpected =
            (computeMoment(stamp, DateOrder::kMonthFirst, nMoment) ? kReadMonthFirst : 0) |
            (computeMoment(stamp, DateOrder::kDayFirst, nMoment) ? kReadDayFirst : 0);
        ASSERT_EQ(judgeStamp(stamp, INT64_MAX) & (kReadMonthFirst | kReadDayFirst), nExpected)
            << a << "/" << b << "/" << nYear;
      }
    }
  }
}

}  // namespace
