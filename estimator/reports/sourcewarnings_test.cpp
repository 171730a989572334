// The warnings of the listing kinds, from what their readers found.
#include "reports/sourcewarnings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "reports/warnings.h"

namespace {

// Feeds lines, as the reader hands them out, to a kind's reader.
template <typename Source, typename Read>
void feed(Source& source, Read read, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    Entry entry;
    std::string text = line + std::string(kPieceSlack, '\0');
    read(source, text.c_str(), line.size(), entry);
  }
}

std::vector<std::string> warningsOf(void (*warnKind)(const RobocopyLog&), const RobocopyLog& log) {
  resetWarnings();
  testing::internal::CaptureStderr();
  warnKind(log);
  testing::internal::GetCapturedStderr();
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < warningCount(); i++) texts.push_back(warningText(i));
  return texts;
}

TEST(SourceWarningsTest, RobocopySummaryWithinRoundingIsNoWarning) {
  for (bool bAgrees : {true, false}) {
    RobocopyLog log;
    startRobocopy(log);
    std::string bytes =
        bAgrees ? "   Bytes :  1.0 m  1.0 m  0  0  0  0" : "   Bytes :  1.1 m  1.1 m  0  0  0  0";
    feed(log, readRobocopyLine,
         {"\t\t\t2\tC:\\d\\", "\t  New File \t\t 600.0 k\ta", "\t  New File \t\t 424.0 k\tb",
          std::string(70, '-'), "   Dirs :  1  1  0  0  0  0", "   Files :  2  2  0  0  0  0",
          bytes, "   Times :   0:00:00   0:00:00  0:00:00   0:00:00"});
    std::vector<std::string> texts = warningsOf(warnRobocopy, log);
    ASSERT_EQ(texts.size(), bAgrees ? 1u : 2u);  // the rounding is always said
    EXPECT_NE(texts[0].find("rounded"), std::string::npos);
  }
}

TEST(SourceWarningsTest, RsyncTotalsAndLinesNotRead) {
  struct Case {
    std::uint64_t nErrors, nUnread, nBytes, nStated;
    bool bTotal;
    std::size_t nWarnings;
  };
  const Case aCases[] = {
      {0, 0, 10, 10, true, 0}, {0, 0, 10, 11, true, 1}, {0, 0, 10, 9, false, 0},
      {1, 0, 0, 0, false, 1},  {0, 1, 0, 0, false, 1},  {2, 3, 5, 6, true, 3},
  };
  for (const Case& c : aCases) {
    RsyncListing rsync;
    startRsync(rsync);
    rsync.nErrors = c.nErrors;
    rsync.nUnread = c.nUnread;
    rsync.nBytes = c.nBytes;
    rsync.nStated = c.nStated;
    rsync.bTotal = c.bTotal;
    resetWarnings();
    testing::internal::CaptureStderr();
    warnRsync(rsync);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(warningCount(), c.nWarnings) << c.nErrors << " " << c.nUnread << " " << c.nStated;
  }
}

// A kind that reads fewer than half the lines in dir's file shape, of at
// least kFarFewerLines, says so; rsync's rounded sizes are said too.
TEST(SourceWarningsTest, FarFewerObjectsThanDirLinesAndRoundedSizes) {
  struct Case {
    std::uint64_t nDirFiles, nObjects;
    bool bWarns;
  };
  const Case aCases[] = {
      {0, 0, false},
      {3, 0, false},
      {4, 1, true},
      {4, 2, false},
      {5, 2, true},
      {5, 3, false},
      {UINT64_MAX, 0, true},
      {UINT64_MAX, UINT64_MAX / 2, true},
      {UINT64_MAX, UINT64_MAX / 2 + 1, false},
  };
  for (const Case& c : aCases) {
    KindReader reader;
    startKindReader(reader, kKindRsync, CivilDate());
    reader.nDirFiles = c.nDirFiles;
    reader.nObjects = c.nObjects;
    for (std::uint64_t nRounded : {0, 1}) {
      reader.rsync.nRounded = nRounded;
      resetWarnings();
      testing::internal::CaptureStderr();
      warnKind(reader);
      std::string text = testing::internal::GetCapturedStderr();
      EXPECT_EQ(warningCount(), (c.bWarns ? 1u : 0u) + nRounded)
          << c.nDirFiles << " " << c.nObjects;
      EXPECT_EQ(text.find("--kind=dir") != std::string::npos, c.bWarns) << text;
      EXPECT_EQ(text.find("rounded (rsync -h") != std::string::npos, nRounded == 1) << text;
    }
  }
}

// The scan's folders that could not be read: each one kept by name, then
// the summary, for one folder as for many.
TEST(SourceWarningsTest, UnreadableFoldersEachAndInAll) {
  const struct {
    std::uint64_t nUnreadable;
    std::size_t nKept;
    std::vector<std::string> last;  // the last warnings
  } kCases[] = {
      {0, 0, {}},
      {1,
       1,
       {"cannot read folder '/t/d0': Permission denied",
        "1 folder could not be read; the files in it were not counted"}},
      {2,
       2,
       {"cannot read folder '/t/d1': Permission denied",
        "2 folders could not be read; the files in them were not counted"}},
      {11,
       10,
       {"cannot read folder '/t/d9': Permission denied",
        "11 folders could not be read; the files in them were not counted"}},
  };
  for (const auto& c : kCases) {
    WalkReport report;
    report.nUnreadable = c.nUnreadable;
    for (std::size_t i = 0; i < c.nKept; i++) {
      report.firstUnreadable.push_back({"/t/d" + std::to_string(i), EACCES});
    }
    resetWarnings();
    testing::internal::CaptureStderr();
    warnUnreadable(report);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(warningCount(), c.nKept + (c.nUnreadable > 0 ? 1 : 0)) << c.nUnreadable;
    for (std::size_t i = 0; i < c.last.size(); i++) {
      EXPECT_EQ(warningText(warningCount() - c.last.size() + i), c.last[i]) << c.nUnreadable;
    }
  }
}

}  // namespace
