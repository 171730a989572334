#include "reports/htmlreport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "reports/warnings.h"
#include "tallies/calibrate.h"
#include "tallies/htmltally.h"

namespace {

const std::uint64_t kMax = ~std::uint64_t{0};

TEST(SizeHistogram, BucketsArePowersOfTwoAndBytesSaturate) {
  const struct {
    std::uint64_t nSize;
    int nBucket;
  } kCases[] = {{0, 0},
                {1, 1},
                {2, 2},
                {3, 2},
                {4, 3},
                {5119, 13},
                {5120, 13},
                {8191, 13},
                {8192, 14},
                {kMax >> 1, 63},
                {kMax / 2 + 1, 64},
                {kMax, 64}};
  for (const auto& c : kCases) EXPECT_EQ(sizeBucket(c.nSize), c.nBucket) << c.nSize;

  SizeHistogram h;
  countSize(h, kMax);
  countSize(h, kMax - 1);
  countSize(h, 0);
  EXPECT_EQ(h.anFiles[64], 2u);
  EXPECT_EQ(h.anBytes[64], kMax);  // stays at the largest value
  EXPECT_EQ(h.anFiles[0], 1u);
}

TEST(PageTallies, CountedFilesJoinTheChosenGroupAndAllHoldsEveryFile) {
  PageTallies t;
  t.bAll = true;
  countPageFile(t, 100, kFolderCounted);
  countPageFile(t, 6000, kFolderMonthFirstOnly);
  countPageFile(t, 70000, kFolderDayFirstOnly);
  countPageFile(t, 600000, -1);  // selected by neither reading
  const struct {
    int nAside;
    std::uint64_t nFiles;
    std::uint64_t nBytes;
  } kCases[] = {{0, 1, 100}, {1, 2, 6100}, {2, 2, 70100}};
  for (const auto& c : kCases) {
    SizeHistogram h = countedFiles(t, c.nAside);
    std::uint64_t nFiles = 0, nBytes = 0;
    for (int b = 0; b < kSizeBuckets; b++) nFiles += h.anFiles[b], nBytes += h.anBytes[b];
    EXPECT_EQ(nFiles, c.nFiles) << c.nAside;
    EXPECT_EQ(nBytes, c.nBytes) << c.nAside;
  }
  for (int k = 0; k < kClasses; k++) EXPECT_EQ(t.anAllFiles[k], 1u) << k;
  EXPECT_EQ(t.anAllBytes[3], 600000u);
}

// A made-up log: mostly steps of 0 to 3 seconds, some idle steps, pauses
// that start sessions, a day turn, lines without a time or an object.
struct LogLine {
  bool bTimed;
  int nSecond;
  bool bObject;
  std::uint64_t nSize;
};

LogLine nextLine(std::uint64_t& nState, int& nSecond) {
  nState = nState * 6364136223846793005ull + 1442695040888963407ull;
  unsigned n = static_cast<unsigned>(nState >> 33);
  int nStep = n % 100 < 90   ? static_cast<int>(n % 4)
              : n % 100 < 98 ? 61 + static_cast<int>(n % 500)
                             : 4000 + static_cast<int>(n % 9000);
  nSecond = (nSecond + nStep) % 86400;
  LogLine line{n % 23 != 0, nSecond, n % 7 != 0, (std::uint64_t{1} << (n % 34)) + n % 1000};
  return line;
}

TEST(LogTimeline, ChargesStepsAsTheCalibrationDoesAndStaysBounded) {
  for (std::uint64_t nGap : {std::uint64_t{60}, std::uint64_t{600}}) {
    Calibration cal;
    startCalibration(cal, nGap);
    LogTimeline t;
    startTimeline(t, nGap);
    std::uint64_t nState = nGap;
    int nSecond = 79000;  // the log runs past midnight
    std::uint64_t nObjects = 0;
    for (int i = 0; i < 200000; i++) {
      LogLine line = nextLine(nState, nSecond);
      calibrateLine(cal, line.bTimed, line.nSecond, line.bObject, line.nSize,
                    sizeClass(line.nSize));
      timelineLine(t, line.bTimed, line.nSecond, line.bObject, line.nSize);
      nObjects += line.bObject ? 1 : 0;
    }
    std::uint64_t nFitObjects = 0, nFitBytes = 0, nFitSeconds = 0;
    for (const FitBin& bin : t.aFit) {
      nFitObjects += bin.nObjects, nFitBytes += bin.nBytes, nFitSeconds += bin.nSeconds;
    }
    std::uint64_t nCalObjects = 0, nCalBytes = 0, nCalSeconds = 0;
    for (const CalibrationClass& c : cal.aClasses) {
      nCalObjects += c.nObjects, nCalBytes += c.nBytes, nCalSeconds += c.nSeconds;
    }
    EXPECT_EQ(nFitObjects, nCalObjects) << nGap;
    EXPECT_EQ(nFitBytes, nCalBytes) << nGap;
    EXPECT_EQ(nFitSeconds, nCalSeconds) << nGap;
    // Every object lands in some bin, and the bins stay within their arrays.
    EXPECT_EQ(t.nSessions, kMaxSessions);
    std::uint64_t nBinned = 0;
    for (int s = 0; s < t.nSessions; s++) {
      int nBins = sessionBinsUsed(t, s);
      EXPECT_GE(nBins, 1);
      EXPECT_LE(nBins, kTimelineBins);
      for (int i = 0; i < kTimelineBins; i++) nBinned += t.aSessions[s].aBins[i].nObjects;
    }
    EXPECT_EQ(nBinned, nObjects);
  }
}

TEST(LogTimeline, SessionsBinsAndIdleTime) {
  const struct {
    const char* szWhat;
    int anSeconds[6];  // timed object lines, in order; -1: none
    int nSessions;
    std::uint64_t nBinSeconds;  // of the last session
    std::uint64_t nIdle;        // idle seconds of the last session
  } kCases[] = {
      {"steps within the gap limit", {0, 30, 89, 120, -1, -1}, 1, 60, 0},
      {"an idle step", {0, 10, 100, 110, -1, -1}, 1, 60, 90},
      {"a pause of over an hour", {0, 10, 3700, 3710, -1, -1}, 2, 60, 0},
      {"a pause of exactly the session gap", {0, 10, 3610, 3620, -1, -1}, 1, 60, 3600},
      {"a pause of the session gap and a second", {0, 10, 3611, 3621, -1, -1}, 2, 60, 0},
      {"a session past its bins", {0, 3500, 7000, 10500, 14000, 14400}, 1, 120, 14400},
      {"midnight within a session", {86390, 5, 10, 20, -1, -1}, 1, 60, 0},
  };
  for (const auto& c : kCases) {
    LogTimeline t;
    startTimeline(t, 60, 3600);  // sessions split at pauses over an hour
    for (int n : c.anSeconds) {
      if (n >= 0) timelineLine(t, true, n, true, 1000);
    }
    const TimelineSession& last = t.aSessions[t.nSessions - 1];
    std::uint64_t nIdle = 0;
    for (const TimelineBin& bin : last.aBins) nIdle += bin.nIdleSeconds;
    EXPECT_EQ(t.nSessions, c.nSessions) << c.szWhat;
    EXPECT_EQ(last.nBinSeconds, c.nBinSeconds) << c.szWhat;
    EXPECT_EQ(nIdle, c.nIdle) << c.szWhat;
  }
}

TEST(HtmlParts, SizesInBinaryUnitsFromTheFirstKibibyte) {
  const struct {
    double dBytes;
    const char* szText;
  } kCases[] = {{0, "0 B"},
                {1, "1 B"},
                {1023, "1023 B"},
                {1024, "1.0 KiB"},
                {1025, "1.0 KiB"},
                {1536, "1.5 KiB"},
                {1048575, "1.0 MiB"},
                {1048576, "1.0 MiB"},
                {4294967295.0, "4.0 GiB"},
                {18446744073709551615.0, "16.0 EiB"}};
  for (const auto& c : kCases) EXPECT_EQ(bytesText(c.dBytes), c.szText) << c.dBytes;
}

TEST(HtmlEscape, NamesStayTextAndCutsFallBetweenCharacters) {
  const struct {
    std::string in;
    std::size_t nMax;
    std::string out;
  } kCases[] = {
      {"<script>alert(1)</script>", 100, "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"a\" onload=\"x' &amp;", 100, "a&quot; onload=&quot;x&#39; &amp;amp;"},
      {"tab\tcr\r\x7f", 100,
       "tab\xEF\xBF\xBD"
       "cr\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"caf\xC3\xA9 \xE6\x96\x87", 100, "caf\xC3\xA9 \xE6\x96\x87"},
      {"bad \xFF\xC3 \xED\xA0\x80", 100,
       "bad \xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"ab\xE6\x96\x87"
       "cd",
       3, "ab\xE6\x96\x87&#8230;"},  // the character is kept whole
      {"abcdef", 3, "abc&#8230;"},
  };
  for (const auto& c : kCases) {
    std::string out;
    appendEscaped(out, c.in.data(), c.in.size(), c.nMax);
    EXPECT_EQ(out, c.out) << c.in;
  }
}

TEST(HtmlText, OneTimeAndOneUnitStyle) {
  EXPECT_EQ(durationText(3723), "1 h 02 min 03 s");
  const std::pair<double, const char*> kRounded[] = {
      {0, "0 s"},
      {0.49, "0 s"},
      {0.5, "1 s"},
      {59.5, "1 min 00 s"},
      {-3, "0 s"},
      {18446744073709551615.0, "5124095576030431 h 00 min 15 s"},
      {1e30, "5124095576030431 h 00 min 15 s"}};
  for (const auto& c : kRounded) EXPECT_EQ(roundedDurationText(c.first), c.second) << c.first;
  const std::pair<std::int64_t, const char*> kRates[] = {
      {INT64_MIN, "not positive"}, {0, "not positive"},   {1, "1 B/s"},
      {35840, "35.0 KiB/s"},       {459776, "449 KiB/s"}, {INT64_MAX, "8.0 EiB/s"}};
  for (const auto& c : kRates) EXPECT_EQ(rateText(c.first), c.second) << c.first;
  EXPECT_EQ(bytesText(5119), "5.0 KiB");
  EXPECT_EQ(bucketLabel(14), "8 KiB");
}

// The top block says where the rates came from, and shows every estimate.
TEST(HtmlPage, TopBlockSaysWhatWasEstimated) {
  ReportFigures figures;
  figures.listing = "listing.txt";
  figures.nEstimateSeconds = 3723;
  const char* const aszRates[] = {"35", " +.50 ", "457", "449"};
  for (int k = 0; k < kClasses; k++) figures.aClasses[k].szRate = aszRates[k];
  SizeHistogram counted;
  PageInput input;
  input.pFigures = &figures;
  input.pCounted = &counted;
  std::string page = htmlPage(input);
  EXPECT_NE(page.find("<p id=\"rates\">Rates per class (KiB/s): 35 0.50 457 449, as given on the "
                      "command line</p>"),
            std::string::npos);
  EXPECT_NE(page.find("<strong id=\"estimate\">1 h 02 min 03 s</strong>"), std::string::npos);
  EXPECT_EQ(page.find("estimate-by-model"), std::string::npos);
  EXPECT_EQ(page.find("id=\"selection\""), std::string::npos);

  CalibrationResult model;
  model.dCostSeconds = 0.153114;
  model.dSecondsPerByte = 1e-6;
  model.dBandwidthKBps = 976.6;
  figures.pModel = &model;
  figures.szModelLog = "night<1>.log";
  figures.nModelSeconds = 60;
  figures.spread.nSessions = 3;
  figures.spread.nFastest = 59;
  figures.spread.nSlowest = 3600;
  page = htmlPage(input);
  EXPECT_NE(page.find("learnt from the schedule log night&lt;1&gt;.log (cost 153.114 ms per "
                      "object, bandwidth 976.6 KiB/s)"),
            std::string::npos);
  EXPECT_NE(page.find("<strong id=\"estimate-by-model\">1 min 00 s</strong>"), std::string::npos);
  EXPECT_NE(page.find("Over the 3 sessions in the log<strong id=\"sessions-range\">59 s to 1 h 00 "
                      "min 00 s</strong>"),
            std::string::npos);
  figures.spread.nSessions = 1;  // one session has no range
  EXPECT_EQ(htmlPage(input).find("sessions-range"), std::string::npos);
}

// A page of many folders with long hostile names, a hostile listing name
// and a warning.
TEST(HtmlPage, StaysSmallSelfContainedAndEscapedWhateverTheNames) {
  FolderRanking ranking;
  ranking.bFound = true;
  ranking.sRoot = "C:\\<b>";
  const std::string name =
      std::string(2000, '<') + "\"><script>x</script>" + std::string(2000, '&');
  for (int i = 0; i < 20000; i++) {
    FolderRow row;
    row.sName = name + std::to_string(i);
    row.nFiles = 1;
    row.nBytes = 10;
    row.dSeconds = 20000 - i;
    ranking.rows.push_back(row);
  }
  ranking.nFolders = ranking.rows.size();
  ReportFigures figures;
  figures.listing = "x\"><script>alert(1)</script>.txt";
  figures.pFolders = &ranking;
  SizeHistogram counted;
  countSize(counted, 100);
  PageInput input;
  input.pFigures = &figures;
  input.pCounted = &counted;
  resetWarnings();
  warn("a <warning> & more");
  std::string page = htmlPage(input);
  resetWarnings();

  EXPECT_LT(page.size(), 2u * 1024 * 1024);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("http"), std::string::npos);
  EXPECT_NE(page.find("a &lt;warning&gt; &amp; more"), std::string::npos);
  EXPECT_NE(page.find("(" + std::to_string(20000 - kMaxFolderRows) + " other folders)"),
            std::string::npos);
  std::size_t nRows = 0;
  for (std::size_t at = page.find("<td class=\"name\">"); at != std::string::npos;
       at = page.find("<td class=\"name\">", at + 1)) {
    nRows++;
  }
  EXPECT_EQ(nRows, kMaxFolderRows + 2);  // and the rest, and all
}

// The folders past those shown join one row: the first of them too.
TEST(HtmlPage, FoldersPastTheFiftiethJoinTheOtherFolders) {
  const struct {
    std::size_t nRows;
    const char* szRest;  // the row of the others, "" for none
  } kCases[] = {
      {kMaxFolderRows, ""},
      {kMaxFolderRows + 1, "<td class=\"name\">(1 other folder)</td><td>1</td><td>51 B</td>"},
      {kMaxFolderRows + 2, "<td class=\"name\">(2 other folders)</td><td>2</td><td>103 B</td>"},
  };
  for (const auto& c : kCases) {
    FolderRanking ranking;
    ranking.bFound = true;
    ranking.sRoot = "/srv";
    for (std::size_t i = 0; i < c.nRows; i++) {
      FolderRow row;
      row.sName = "d" + std::to_string(i);
      row.nFiles = 1;
      row.nBytes = i + 1;
      row.dSeconds = static_cast<double>(1000 - i);
      ranking.rows.push_back(row);
    }
    ranking.nFolders = ranking.rows.size();
    ReportFigures figures;
    figures.pFolders = &ranking;
    SizeHistogram counted;
    PageInput input;
    input.pFigures = &figures;
    input.pCounted = &counted;
    std::string page = htmlPage(input);
    if (*c.szRest == '\0') {
      EXPECT_EQ(page.find("other folder"), std::string::npos) << c.nRows;
    } else {
      EXPECT_NE(page.find(c.szRest), std::string::npos) << c.nRows;
    }
  }
}

// The chart's shares of the time are of all four classes' time.
TEST(HtmlPage, TheClassChartSharesTheTimeOfEveryClass) {
  ReportFigures figures;
  for (int k = 0; k < kClasses; k++) {
    figures.aClasses[k].dSeconds = 1.5;
    figures.aClasses[k].nFiles = 1;
    figures.aClasses[k].nBytes = 10;
  }
  figures.nFiles = 4;
  figures.nBytes = 40;
  SizeHistogram counted;
  PageInput input;
  input.pFigures = &figures;
  input.pCounted = &counted;
  std::string page = htmlPage(input);
  std::size_t nShares = 0;
  for (std::size_t at = page.find(">25.0% of the time<"); at != std::string::npos;
       at = page.find(">25.0% of the time<", at + 1)) {
    nShares++;
  }
  EXPECT_EQ(nShares, 4u);
}

}  // namespace
