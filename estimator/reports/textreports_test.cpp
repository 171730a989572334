// The text reports beside the table: the folders of --top, the window's
// verdict and the calibration's report, as printed.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "reports/calibrationreport.h"
#include "reports/folderreport.h"
#include "reports/output.h"
#include "reports/progress.h"
#include "reports/windowreport.h"

namespace {

const std::int64_t kOneByteEach[4] = {1, 1, 1, 1};

bool header(FolderTally& ft, const std::string& sLine, bool bCut = false) {
  return noteDirectoryLine(ft, Piece{sLine.c_str(), sLine.size(), !bCut, bCut});
}

void file(FolderTally& ft, const std::string& sName, std::uint64_t nSize = 1, int nClass = 0) {
  countListingFile(ft, sName.c_str(), nClass, nSize);
}

std::string printed(const FolderRanking& ranking) {
  outFlush();
  testing::internal::CaptureStdout();
  printFolders(ranking);
  outFlush();
  return testing::internal::GetCapturedStdout();
}

TEST(FoldersTest, PrintsTheTable) {
  FolderTally ft;
  startFolders(ft, 1);
  header(ft, " Directory of C:\\Users\\alice");
  file(ft, " a", 300, 0);
  header(ft, " Directory of C:\\Users\\bob\\Docs");
  file(ft, " a", 100, 0);
  header(ft, " Directory of C:\\Users\\carol");
  file(ft, " a", 50, 0);
  file(ft, " b", 50, 0);
  FolderRanking ranking;
  rankFolders(ft, kOneByteEach, 2, ranking);
  EXPECT_EQ(printed(ranking),
            "\n"
            "Root: C:\\Users\n"
            "Folders 1 level below the root: the 2 of 3 that take the longest, then the rest:\n"
            "=============================================================\n"
            "#         #              Time           Share     Folder\n"
            "Files     Bytes          (sec)          (%)\n"
            "=============================================================\n"
            "\n"
            "1         300            300.0          60.0      alice\n"
            "2         100            100.0          20.0      carol\n"
            "1         100            100.0          20.0      (1 other folder)\n"
            "\n"
            "4         500            500.0          100.0     (all files)\n");

  FolderTally none;
  startFolders(none, 2);
  file(none, " x", 1, 0);
  rankFolders(none, kOneByteEach, 2, ranking);
  EXPECT_EQ(printed(ranking),
            "\nNo folders found: the listing names no directory for its files.\n");
}

TEST(FoldersTest, WideNumbersAndLongNamesKeepTheColumns) {
  FolderTally ft;
  startFolders(ft, 2);
  header(ft, " Directory of C:\\r\\" + std::string(300, 'n') + "\\x");
  file(ft, " a", 18446744073709551615u, 3);
  header(ft, " Directory of C:\\r\\b");
  file(ft, " a", 1, 0);
  FolderRanking ranking;
  rankFolders(ft, kOneByteEach, 5, ranking);
  std::string sText = printed(ranking);
  // Every line of the table starts its columns at the same places, and a
  // blank ends every number.
  std::vector<std::string> lines;
  for (std::size_t nStart = 0, nEnd; (nEnd = sText.find('\n', nStart)) != std::string::npos;
       nStart = nEnd + 1) {
    lines.push_back(sText.substr(nStart, nEnd - nStart));
  }
  std::size_t nFolderColumn = lines[4].find("Folder");
  ASSERT_NE(nFolderColumn, std::string::npos);
  int nRows = 0;
  for (const std::string& sLine : lines) {
    if (sLine.empty() || !std::isdigit(static_cast<unsigned char>(sLine[0]))) continue;
    nRows++;
    ASSERT_GT(sLine.size(), nFolderColumn) << sLine;
    EXPECT_EQ(sLine[nFolderColumn - 1], ' ') << sLine;
    EXPECT_NE(sLine[nFolderColumn], ' ') << sLine;
    for (std::size_t nColumn = 0; nColumn < nFolderColumn; nColumn++) {
      if (lines[4][nColumn] != ' ' && nColumn > 0 && lines[4][nColumn - 1] == ' ') {
        EXPECT_EQ(sLine[nColumn - 1], ' ') << sLine;
        EXPECT_NE(sLine[nColumn], ' ') << sLine;
      }
    }
  }
  EXPECT_EQ(nRows, 3);
  EXPECT_NE(sText.find("18446744073709551615 "), std::string::npos);
  EXPECT_NE(sText.find(" " + std::string(300, 'n') + "\\x\n"), std::string::npos);
}

const std::uint64_t kMax = UINT64_MAX;

std::string printedVerdict(std::uint64_t nWindow, std::uint64_t nEstimate) {
  testing::internal::CaptureStdout();
  printWindowVerdict(judgeWindow(nWindow, nEstimate));
  outFlush();
  return testing::internal::GetCapturedStdout();
}

TEST(PrintWindowVerdictTest, WritesOneLineInEitherForm) {
  EXPECT_EQ(printedVerdict(28800, 20751),
            "Backup window 8 hours 0 mins 0 sec: fits, 2 hours 14 mins 9 sec to spare\n");
  EXPECT_EQ(printedVerdict(28800, 39940),
            "Backup window 8 hours 0 mins 0 sec: does not fit; 3 hours 5 mins 40 sec over, rates "
            "would have to be 1.39 times as high\n");
  EXPECT_EQ(printedVerdict(5415, 5415),
            "Backup window 1 hours 30 mins 15 sec: fits, 0 hours 0 mins 0 sec to spare\n");
  EXPECT_EQ(printedVerdict(100, 105),
            "Backup window 0 hours 1 mins 40 sec: does not fit; 0 hours 0 mins 5 sec over, rates "
            "would have to be 1.05 times as high\n");
  EXPECT_EQ(printedVerdict(1, kMax),
            "Backup window 0 hours 0 mins 1 sec: does not fit; 5124095576030431 hours 0 mins 14 "
            "sec over, rates would have to be 18446744073709551615.00 times as high\n");
}

const int kDay = 86400;

// The class bounds of the estimate, as a reference.
int classOf(std::uint64_t nSize) {
  if (nSize < 5120) return 0;
  if (nSize < 51200) return 1;
  return nSize < 512000 ? 2 : 3;
}

// One log line: no time is kNoTime, no object is a size of kNoObject.
const int kNoTime = -1;
const std::uint64_t kNoObject = ~std::uint64_t{0};
struct Line {
  int nSecond;
  std::uint64_t nSize;
};

Calibration calibrate(const std::vector<Line>& lines, std::uint64_t nGap = kDefaultGapSeconds) {
  Calibration cal;
  startCalibration(cal, nGap);
  for (const Line& line : lines) {
    bool bObject = line.nSize != kNoObject;
    calibrateLine(cal, line.nSecond != kNoTime, line.nSecond, bObject, bObject ? line.nSize : 0,
                  bObject ? classOf(line.nSize) : 0);
  }
  return cal;
}

// A timed line's time: "YYYY-MM-DDTHH:MM:SS" dated, "HH:MM:SS" not.
LineTime lineTime(const char* szWhen) {
  LineTime time;
  time.bTimed = true;
  const char* szClock = szWhen;
  if (std::strlen(szWhen) > 8) {
    EXPECT_TRUE(parseSince(szWhen, time.nMoment)) << szWhen;
    time.bDated = true;
    szClock = szWhen + 11;
  }
  time.nSecondOfDay = ((szClock[0] - '0') * 10 + szClock[1] - '0') * 3600 +
                      ((szClock[3] - '0') * 10 + szClock[4] - '0') * 60 + (szClock[6] - '0') * 10 +
                      szClock[7] - '0';
  return time;
}

std::string reportOf(const CalibrationResult& result) {
  outFlush();
  testing::internal::CaptureStdout();
  printCalibration(result);
  outFlush();
  return testing::internal::GetCapturedStdout();
}

TEST(PrintCalibration, ReportEndsWithTheRates) {
  std::vector<Line> lines = {{kDay - 100, kNoObject}};
  int nSecond = kDay - 100;
  for (int i = 0; i < 300; i++) {  // classes 0 and 3 measured, 1 filled in, 2 absent
    nSecond = (nSecond + 1) % kDay;
    lines.push_back({nSecond, 1000});
    if (i % 3 == 0) lines.push_back({nSecond, 10000});
    nSecond = (nSecond + 2) % kDay;
    lines.push_back({nSecond, 1000000});
  }
  lines.push_back({nSecond + 500, kNoObject});
  CalibrationResult result;
  ASSERT_EQ(finishCalibration(calibrate(lines), result), 0);
  std::string sReport = reportOf(result);
  char szRates[96];
  std::snprintf(szRates, sizeof szRates, "\nrates: %llu %llu %llu %llu\n",
                static_cast<unsigned long long>(result.aClasses[0].nRateKBps),
                static_cast<unsigned long long>(result.aClasses[1].nRateKBps),
                static_cast<unsigned long long>(result.aClasses[2].nRateKBps),
                static_cast<unsigned long long>(result.aClasses[3].nRateKBps));
  ASSERT_GE(sReport.size(), std::strlen(szRates));
  EXPECT_EQ(sReport.substr(sReport.size() - std::strlen(szRates)), szRates);
  EXPECT_EQ(result.aClasses[0].nRateKBps, 1u);    // 1000 bytes a second
  EXPECT_EQ(result.aClasses[3].nRateKBps, 488u);  // 1000000 bytes in two seconds
  for (const char* szPart :
       {"0..< 1KB            300       300000         300       1.0       1\n",
        "1KB..< 10KB         100       1000000        0         -         ",
        "10KB..< 100KB       0         0              0         -         ",
        "1 session from 23:58:20 to 00:21:40 (+1 day, 23 mins)\n",
        "Busy time: 0 hours 15 mins 0 sec, of which charged to no class 0 hours 0 mins 0 sec\n",
        "Idle gaps over 60 sec: 1, left out, 0 hours 8 mins 20 sec in all\n",
        "  1KB..< 10KB at the log's average size, 10000 bytes\n",
        "  10KB..< 100KB at its nominal size, 102400 bytes\n"}) {
    EXPECT_NE(sReport.find(szPart), std::string::npos) << szPart << "\nin\n" << sReport;
  }
}

// The session line: dates where the first and the last line both carry one,
// the days turned otherwise, the seconds shown for a span under an hour, and
// the span in the units that suit it, rounded to the nearest.
TEST(PrintCalibration, OneLineSaysTheSessionsAndTheirSpan) {
  struct Case {
    const char* szFirst;  // "YYYY-MM-DDTHH:MM:SS", or "HH:MM:SS" for a line without a date
    const char* szLast;
    std::uint64_t nSpan, nSessions, nDayTurns;
    const char* szLine;
  };
  // clang-format off
  const Case cases[] = {
      {"2026-12-05T22:00:00", "2026-12-07T23:01:54", 176514, 3, 2,
       "3 sessions from 2026-12-05 22:00 to 2026-12-07 23:01 (49 hours)"},
      {"2026-12-07T23:00:00", "2026-12-07T23:29:59", 1799, 1, 0,
       "1 session from 2026-12-07 23:00:00 to 2026-12-07 23:29:59 (30 mins)"},
      {"23:00:00", "01:39:11", 9551, 1, 1,
       "1 session from 23:00 to 01:39 (+1 day, 2 hours 39 mins)"},
      {"22:00:00", "22:00:00", 172800, 2, 2, "2 sessions from 22:00 to 22:00 (+2 days, 48 hours)"},
      {"2026-12-07T23:00:00", "23:00:59", 59, 1, 0, "1 session from 23:00:00 to 23:00:59 (59 sec)"},
      {"10:00:00", "10:00:00", 0, 1, 0, "1 session from 10:00:00 to 10:00:00 (0 sec)"},
      {"10:00:00", "10:01:29", 89, 1, 0, "1 session from 10:00:00 to 10:01:29 (1 min)"},
      {"10:00:00", "10:01:30", 90, 1, 0, "1 session from 10:00:00 to 10:01:30 (2 mins)"},
      {"10:00:00", "10:59:29", 3569, 1, 0, "1 session from 10:00:00 to 10:59:29 (59 mins)"},
      {"10:00:00", "10:59:30", 3570, 1, 0, "1 session from 10:00:00 to 10:59:30 (1 hour)"},
      {"10:00:00", "11:00:29", 3629, 1, 0, "1 session from 10:00 to 11:00 (1 hour)"},
      {"10:00:00", "11:00:30", 3630, 1, 0, "1 session from 10:00 to 11:00 (1 hour 1 min)"},
      {"10:00:00", "11:29:59", 5399, 1, 0, "1 session from 10:00 to 11:29 (1 hour 30 mins)"},
      {"10:00:00", "19:59:29", 35969, 1, 0, "1 session from 10:00 to 19:59 (9 hours 59 mins)"},
      {"10:00:00", "19:59:30", 35970, 1, 0, "1 session from 10:00 to 19:59 (10 hours)"},
      {"10:00:00", "20:29:59", 37799, 1, 0, "1 session from 10:00 to 20:29 (10 hours)"},
      {"10:00:00", "20:30:00", 37800, 1, 0, "1 session from 10:00 to 20:30 (11 hours)"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szLine);
    CalibrationResult result{};
    result.nGapSeconds = 60;
    result.nSessionGapSeconds = 7200;
    result.first = lineTime(c.szFirst);
    result.last = lineTime(c.szLast);
    result.nSpanSeconds = c.nSpan;
    result.nSessions = c.nSessions;
    result.nDayTurns = c.nDayTurns;
    std::string sReport = reportOf(result);
    EXPECT_NE(sReport.find(std::string("\n") + c.szLine + "\n"), std::string::npos) << sReport;
    EXPECT_EQ(sReport.find("Session:"), std::string::npos);
    EXPECT_NE(sReport.find("Sessions (a step over 2 hours 0 mins 0 sec starts one):\n"),
              std::string::npos);
  }
}

TEST(HumanTextTest, SizesInBinaryUnitsAtTheirBoundaries) {
  struct Case {
    double dBytes;
    const char* szText;
  };
  const Case kCases[] = {
      {0, "0 B"},
      {1, "1 B"},
      {1023, "1023 B"},
      {1024, "1.0 KiB"},
      {1024 * 99.94, "99.9 KiB"},
      {1024 * 99.96, "100 KiB"},  // no decimal from 100 on
      {1024 * 1023.4, "1023 KiB"},
      {1048575, "1.0 MiB"},  // 1023.999 KiB rounds up to the next unit
      {10.2 * 1073741824.0, "10.2 GiB"},
      {4294967295.0, "4.0 GiB"},
      {18446744073709551615.0, "16.0 EiB"},  // the largest total
      {-5, "0 B"},
  };
  for (const Case& c : kCases) EXPECT_EQ(humanSize(c.dBytes), c.szText) << c.dBytes;
}

TEST(HumanTextTest, DurationsInHoursMinutesAndSeconds) {
  const std::pair<std::uint64_t, const char*> kCases[] = {
      {0, "0 s"},
      {59, "59 s"},
      {60, "1 min 00 s"},
      {3599, "59 min 59 s"},
      {3600, "1 h 00 min 00 s"},
      {3723, "1 h 02 min 03 s"},
      {360000, "100 h 00 min 00 s"},
      {UINT64_MAX, "5124095576030431 h 00 min 15 s"},
  };
  for (const auto& c : kCases) EXPECT_EQ(humanDuration(c.first), c.second) << c.first;
  char szText[kDurationTextSize];
  formatTime(false, 3723, szText);
  EXPECT_STREQ(szText, "1 hours 2 mins 3 sec");
  formatTime(true, 3723, szText);
  EXPECT_STREQ(szText, "1 h 02 min 03 s");
}

TEST(HumanTextTest, ScanProgressLine) {
  char szText[160];
  int n = formatScanProgress(szText, sizeof szText, 123456, 10952166604, 4567, 65);
  EXPECT_STREQ(szText, "123456 objects, 10.2 GiB, 4567 folders, 1 min 05 s");
  EXPECT_EQ(n, static_cast<int>(std::strlen(szText)));
  formatScanProgress(szText, sizeof szText, UINT64_MAX, UINT64_MAX, UINT64_MAX, 0);
  EXPECT_STREQ(szText, "18446744073709551615 objects, 16.0 EiB, 18446744073709551615 folders, 0 s");
}

TEST(FoldersTest, HumanTableWritesSizesAndTimes) {
  FolderTally ft;
  startFolders(ft, 1);
  header(ft, " Directory of C:\\data\\big");
  file(ft, "a.bin", std::uint64_t{3} << 30, 3);
  header(ft, " Directory of C:\\data\\small");
  file(ft, "b.txt", 1536, 0);
  FolderRanking ranking;
  const std::int64_t anRate[4] = {1024, 1024, 1024, 1024 * 1024};
  rankFolders(ft, anRate, 5, ranking);
  outFlush();
  testing::internal::CaptureStdout();
  printFolders(ranking, true);
  outFlush();
  std::string sText = testing::internal::GetCapturedStdout();
  // 3 GiB at 1 MiB/s is 3072 s; 1.5 KiB at 1 KiB/s rounds to 2 s.
  EXPECT_NE(sText.find("1         3.0 GiB        51 min 12 s    100.0     big\n"),
            std::string::npos)
      << sText;
  EXPECT_NE(sText.find("1         1.5 KiB        2 s            0.0       small\n"),
            std::string::npos)
      << sText;
  EXPECT_NE(sText.find("2         3.0 GiB        51 min 14 s    100.0     (all files)\n"),
            std::string::npos)
      << sText;
}

}  // namespace
