#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sources/kindtext.h"
#include "sources/listingkind.h"
#include "sources/scanlist.h"
#include "sources/text.h"

namespace {

const CivilDate kToday = {2026, 1, 10};

// A line as the reader hands it out: kPieceSlack readable bytes after its NUL.
std::string padded(const std::string& line) { return line + std::string(kPieceSlack, '\0'); }

std::string stampText(const LineStamp& s) {
  char sz[40];
  std::snprintf(sz, sizeof sz, "%04d-%02d-%02d %05d", s.nField1, s.nField2, s.nField3,
                s.nSecondOfDay);
  return sz;
}

TEST(LsDateTest, ReadsEveryStyleAndLanguage) {
  struct Case {
    const char* szText;
    const char* szStamp;  // "" when no date starts there
  } const aCases[] = {
      {"Mar 14 15:02 a", "2025-03-14 54120"},  // after tomorrow: last year
      {"Jan 11 08:00 a", "2026-01-11 28800"},  // tomorrow: this year
      {"Jan 12 08:00 a", "2025-01-12 28800"},
      {"Mar 14  2020 a", "2020-03-14 00000"},
      {"16 Sep 12:12 a", "2025-09-16 43920"},
      {"14. M\xC3\xA4r 2020  a", "2020-03-14 00000"},
      {" 1. Dez 17:45 a", ""},  // not at a field's start
      {"1 d\xC3\xA9" "c.  17:45 a", "2025-12-01 63900"},
      {"12\xE6\x9C\x88  1 17:45 a", "2025-12-01 63900"},
      {"11\xE6\x9C\x88" "20\xE6\x97\xA5 08:30 a", "2025-11-20 30600"},
      {"2020\xEB\x85\x84  3\xEC\x9B\x94 14\xEC\x9D\xBC a", "2020-03-14 00000"},
      {"2020\xE5\xB9\xB4 3\xE6\x9C\x88" "14\xE6\x97\xA5 a", "2020-03-14 00000"},
      {"2020-03-14 15:02 a", "2020-03-14 54120"},
      {"2020-03-14 15:02:07.123456789 +0100 a", "2020-03-14 54127"},
      {"03-14 15:02 a", "2025-03-14 54120"},
      {"2020-03-14  a", "2020-03-14 00000"},
      {"dic  1 17:45 a", "2025-12-01 63900"},
      {"Feb 29  2024 a", "2024-02-29 00000"},
      {"Feb 30  2024 a", ""},
      {"4096 Dec  1 17:45", ""},  // a size is no day
      {"14 Dec  1 17:45", ""},     // a day needs its month next
      {"17:45 Dec 1", ""},
      {"2020 Mar 14", ""},
      {"root root", ""},
      {"Mar x 15:02", ""},
      // dwalk's shape: the year, then a time of day, a zone after it.
      {"May 16 2026 06:50 a", "2026-05-16 24600"},
      {"May  8 2026 6:05 a", "2026-05-08 21900"},
      {"Dec 31 2026 23:59:59 a", "2026-12-31 86399"},
      {"May 16 2026 06:50 +0100 a", "2026-05-16 24600"},
      {"Feb 29 2024 00:00 a", "2024-02-29 00000"},
      {"Feb 30 2024 00:00 a", ""},
      {"May 00 2026 06:50 a", ""},
      {"May 16 0000 06:50 a", ""},
  };
  for (const Case& c : aCases) {
    LineStamp stamp;
    std::string text = padded(c.szText);
    const char* pEnd = readLsDate(text.c_str(), kToday, stamp);
    EXPECT_EQ(pEnd == nullptr ? "" : stampText(stamp), std::string(c.szStamp)) << c.szText;
    if (pEnd != nullptr) {
      EXPECT_STREQ(skipWhitespace(pEnd), "a") << c.szText;  // the date ends before the name
    }
  }
}

TEST(LsLineTest, FindsTheSizeBeforeTheDate) {
  struct Case {
    const char* szLine;
    bool bObject;
    int nType;
    std::uint64_t nSize;
    const char* szFolder;
  } const aCases[] = {
      {"-rw-r--r-- 1 kim staff 700 Nov 20 08:30 a b.txt", true, kEntryFile, 700, "./x"},
      {"-rw-r--r--@ 1 kim 20 14 16 Sep 12:12 x", true, kEntryFile, 14, "./x"},
      {"-rw-r--r-- 1 may jun 31 Dec 1 17:45 x", true, kEntryFile, 31, "./x"},
      {"-rw-r--r-- 1 kim 5000 2026-01-01 00:00 x", true, kEntryFile, 5000, "./x"},  // -o
      {"-rw-r--r-- 1 5000 2026-01-01 00:00 x", true, kEntryFile, 5000, "./x"},      // -og
      {"lrwxrwxrwx 1 kim kim 14 Nov 20 08:30 l -> t", true, kEntryLink, 0, "./x"},
      {"crw-rw-rw- 1 root root 1, 3 Dec 1 17:45 null", true, kEntrySpecial, 0, "./x"},
      {"prw-r--r-- 1 kim kim 0 Dec 1 17:45 fifo", true, kEntrySpecial, 0, "./x"},
      {"srwx------+ 1 kim kim 0 Dec 1 17:45 sock", true, kEntrySpecial, 0, "./x"},
      {"drwxr-xr-x 2 kim kim 4096 Dec 1 17:45 sub", false, 0, 0, ""},
      {"-rw-r--r-- 1 kim kim 4.0K Dec 1 17:45 h", false, 0, 0, ""},
      {"total 1988", false, 0, 0, ""},
  };
  for (const Case& c : aCases) {
    LsListing ls;
    startLs(ls, kToday);
    Entry header;
    EXPECT_FALSE(readLsLine(ls, padded("./x:").c_str(), 4, header));
    Entry entry;
    std::string line = padded(c.szLine);
    ASSERT_EQ(readLsLine(ls, line.c_str(), std::strlen(c.szLine), entry), c.bObject) << c.szLine;
    if (!c.bObject) continue;
    EXPECT_EQ(entry.nType, c.nType) << c.szLine;
    EXPECT_EQ(entry.nSize, c.nSize) << c.szLine;
    EXPECT_EQ(std::string(entry.pFolder, entry.nFolder), c.szFolder) << c.szLine;
  }
}

TEST(LsMonthTest, KnowsTheLanguagesAndNothingElse) {
  struct Case {
    const char* szWord;
    int nMonth;
  } const aCases[] = {
      {"Jan", 1},   {"janv.", 1},  {"F\xC3\xA9vr.", 2}, {"f\xC3\xA9vr.", 2}, {"M\xC3\xA4r", 3},
      {"mars", 3},  {"mrt", 3},    {"mai", 5},          {"MAY", 5},          {"ao\xC3\xBBt", 8},
      {"sept.", 9}, {"okt", 10},   {"out", 10},         {"dez", 12},         {"dic", 12},
      {"june", 0},  {"ma", 0},     {"", 0},             {"decembers", 0},    {"root", 0},
  };
  for (const Case& c : aCases) {
    EXPECT_EQ(monthOfName(c.szWord, std::string(c.szWord).size()), c.nMonth) << c.szWord;
  }
}

// The months' names of three bytes in every letter case, and the bytes on
// either side of A to Z and a to z, which are folded not at all.
TEST(LsMonthTest, FoldsThreeBytesAsTheWholeNameIsFolded) {
  struct Case {
    const char* szWord;
    int nMonth;
  } const aCases[] = {
      {"jan", 1},    {"feb", 2},       {"mar", 3},  {"apr", 4},  {"may", 5},  {"jun", 6},
      {"jul", 7},    {"aug", 8},       {"sep", 9},  {"oct", 10}, {"nov", 11}, {"dec", 12},
      {"avr", 4},    {"okt", 10},      {"dez", 12}, {"mrt", 3},  {"mai", 5},  {"lug", 7},
      {"ma.", 0},    {"@pr", 0},       {"[pr", 0},  {"`pr", 0},  {"{pr", 0},  {"de\xDA", 0},
      {"\xC1pr", 0}, {"m\xC3\xA4", 0}, {"ju", 0},
  };
  for (const Case& c : aCases) {
    for (int nUpper = 0; nUpper < 8; nUpper++) {  // each byte in either case
      std::string sWord = padded(c.szWord);
      for (int i = 0; i < 3; i++) {
        char& ch = sWord[static_cast<std::size_t>(i)];
        if ((nUpper >> i & 1) != 0 && ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
      }
      EXPECT_EQ(monthOfThreeBytes(sWord.c_str()), c.nMonth) << sWord.c_str();
      EXPECT_EQ(monthOfName(sWord.c_str(), 3), c.nMonth) << sWord.c_str();
    }
  }
}

TEST(ListingKindTest, TellsEachKindByItsLines) {
  struct Case {
    const char* szLine;
    int nKind;
  } const aCases[] = {
      {"12/08/2026  11:02 PM           1,024 a.txt", kKindDir},
      {"-a----        12/8/2026  11:02 PM   1024 a.txt", kKindDir},
      {" Directory of C:\\x", kKindUnknown},
      {".:", kKindUnknown},
      {"total 12", kKindLs},
      {"ls: cannot open directory './x': Permission denied", kKindLs},
      {"-rw-r--r-- 1 kim kim 700 Nov 20 08:30 a", kKindLs},
      {"-rw-r--r--          5,000 2026/11/20 08:30:00 docs/a", kKindRsync},
      {"sending incremental file list", kKindRsync},  // as a listing's first line
      {"   ROBOCOPY     ::     job", kKindUnknown},   // its place is after a line of dashes
      {"-------------------------------------------------------------------------------",
       kKindUnknown},
      {"\t    New File  \t\t    1024\ta.txt", kKindRobocopy},
      {"#TYPE Sample.FileRecord", kKindCsv},
      {"\"FullName\",\"Length\"", kKindCsv},
      {"FullName,Length,LastWriteTime", kKindCsv},
      {"12/08/2026  11:02 PM  1,024 FullName,x", kKindDir},
      {"", kKindUnknown},
  };
  for (const Case& c : aCases) {
    std::string line = padded(c.szLine);  // as the reader hands lines out
    EXPECT_EQ(kindOfLine(line.c_str(), std::strlen(c.szLine)), c.nKind) << c.szLine;
  }
}

// A listing read through the lines held comes out line for line, whatever
// line decides its kind, or none.
TEST(ListingKindTest, HandsOutTheLinesReadAheadInOrder) {
  struct Case {
    std::vector<std::string> lines;
    int nKind;
  };
  std::vector<Case> cases = {
      {{"", ".:", "total 4", "-rw-r--r-- 1 k k 1 Dec 1 17:45 a", "x"}, kKindLs},
      {{"sending incremental file list", "drwxr-xr-x  4,096 2026/12/01 17:45:10 ."}, kKindRsync},
      {{" Volume in drive C is X", "", " Directory of C:\\"}, kKindDir},
      {{}, kKindDir},
  };
  std::vector<std::string> many(kKindLookahead + 5, std::string(" words"));
  many.push_back("total 3");  // too late to decide
  cases.push_back({many, kKindDir});
  std::unique_ptr<Reader> pReader(new Reader());
  std::unique_ptr<KindDecision> pDecision(new KindDecision());
  for (const Case& c : cases) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    for (const std::string& line : c.lines) std::fprintf(stream, "%s\n", line.c_str());
    std::rewind(stream);
    startReading(*pReader, stream);
    startKindDecision(*pDecision);
    std::vector<std::string> read;
    Piece piece;
    while (readListingPiece(*pReader, *pDecision, piece)) {
      if (!pDecision->bDecided && holdPiece(*pReader, *pDecision, piece)) continue;
      read.emplace_back(piece.szText, piece.nLength);
    }
    std::fclose(stream);
    EXPECT_EQ(read, c.lines);
    EXPECT_EQ(listingKind(*pDecision), c.nKind);
  }
}

TEST(RobocopyTest, ReadsSizesInBytesAndUnits) {
  struct Case {
    const char* szText;
    std::uint64_t nBytes;
    std::uint64_t nSlack;
    const char* szRest;  // nullptr: no size
  } const aCases[] = {
      {"1024\tx", 1024, 0, "\tx"},
      {"470.8 k\tx", 482099, 52, "\tx"},
      {"37.7 m", 39531315, 52429, ""},
      {"5,5 g x", 5905580032, 53687092, " x"},
      {"2.0 t", 2199023255552, 54975581389, ""},
      {"2 t", 2, 0, " t"},  // a unit follows only a decimal number
      {"1.5\tx", 0, 0, nullptr},
      {"470.8\tk", 0, 0, nullptr},  // a unit stands in the size's column
      {"123\tt notes", 123, 0, "\tt notes"},
      {"k", 0, 0, nullptr},
      // one word of digits and on either side of it
      {"7", 7, 0, ""},
      {"1234567\tx", 1234567, 0, "\tx"},
      {"12345678\tx", 12345678, 0, "\tx"},
      {"123456789 x", 123456789, 0, " x"},
      {"1234567,5 k", 1264197120, 52, ""},
      {"1234567.\tx", 1234567, 0, ".\tx"},
      {"9223372036854775807", 9223372036854775807u, 0, ""},
      {"9223372036854775808", 0, 0, nullptr},
  };
  for (const Case& c : aCases) {
    std::uint64_t nBytes = 0;
    std::uint64_t nSlack = 0;
    std::string text = padded(c.szText);
    const char* pEnd = readRobocopySize(text.c_str(), nBytes, nSlack);
    if (c.szRest == nullptr) {
      EXPECT_EQ(pEnd, nullptr) << c.szText;
      continue;
    }
    ASSERT_NE(pEnd, nullptr) << c.szText;
    EXPECT_EQ(nBytes, c.nBytes) << c.szText;
    EXPECT_EQ(nSlack, c.nSlack) << c.szText;
    EXPECT_STREQ(pEnd, c.szRest) << c.szText;
  }
}

// Feeds lines to a source; returns the sizes of the objects it counted.
template <typename Source, typename Read>
std::vector<std::uint64_t> feed(Source& source, Read read, const std::vector<std::string>& lines,
                                std::vector<std::string>* pFolders = nullptr) {
  std::vector<std::uint64_t> sizes;
  for (const std::string& line : lines) {
    Entry entry;
    std::string text = padded(line);
    if (!read(source, text.c_str(), line.size(), entry)) continue;
    sizes.push_back(entry.nSize);
    if (pFolders != nullptr) pFolders->emplace_back(entry.pFolder, entry.nFolder);
  }
  return sizes;
}

TEST(RobocopyTest, CountsWhatWasCopiedOnceAndChecksTheSummary) {
  RobocopyLog log;
  startRobocopy(log);
  std::vector<std::string> folders;
  std::vector<std::uint64_t> sizes = feed(
      log, readRobocopyLine,
      {"\t\t\t2\tC:\\d\\", "\t  New File \t\t 10\ta.txt", "\t  same \t\t 20\tb.txt",
       "\t  *EXTRA File \t\t 30\tc.txt", "\t  lonely \t\t 40\td.txt",
       "2026/12/08 22:00:05 ERROR 32 (0x00000020) Copying File C:\\d\\a.txt",
       "\t  New File \t\t 10\ta.txt", "\t  Nouveau \t\t 50\tC:\\d\\e\\f.txt",
       "\t  *EXTRA Dir \t -1\tE:\\old\\", "\t  New File \t\t 60\tg.txt",
       std::string(70, '-'), "   Dirs :  2  1  1  0  0  1", "   Files :  5  3  1  0  0  1",
       "   Bytes :  140  110  20  0  10  30"},
      &folders);
  EXPECT_EQ(sizes, (std::vector<std::uint64_t>{10, 50, 60}));
  EXPECT_EQ(folders, (std::vector<std::string>{"C:\\d\\", "C:\\d\\e\\", "C:\\d\\"}));
  EXPECT_EQ(log.nFiles, 3u);  // as the summary states: copied and failed
  EXPECT_EQ(log.nStatedFiles, 3u);
  EXPECT_EQ(log.nStatedBytes, 120u);
  EXPECT_EQ(log.nBytes, 120u);
}

TEST(CsvTest, ReadsQuotedFieldsFoldersAndLinks) {
  CsvListing csv;
  startCsv(csv);
  std::vector<std::string> folders;
  std::vector<std::uint64_t> sizes = feed(
      csv, readCsvLine,
      {"#TYPE X", "\"Mode\",\"FullName\",\"Length\",\"LastWriteTime\"", "",
       "\"d-----\",\"C:\\s\\sub\",\"\",\"1/2/2026 3:04 PM\"",
       "\"-a----\",\"C:\\s\\say \"\"hi\"\", twice\\a.txt\",\"12\",\"1/2/2026 3:04 PM\"",
       "\"-a---l\",\"C:\\s\\l\",\"0\",\"1/2/2026 3:04 PM\"",
       "-a----,C:\\s\\plain.txt,34,1/2/2026 3:04 PM", "\"-a----\",\"C:\\cut"},
      &folders);
  EXPECT_EQ(sizes, (std::vector<std::uint64_t>{12, 0, 34}));
  EXPECT_EQ(folders, (std::vector<std::string>{"C:\\s\\say \"hi\", twice\\", "C:\\s\\", "C:\\s\\"}));
  EXPECT_EQ(csvUnreadRows(csv), 1u);  // the quote of the last row never closes
  EXPECT_FALSE(csvLacksLength(csv));
  startCsv(csv);
  feed(csv, readCsvLine, {"\"PSIsContainer\",\"FullName\"", "\"True\",\"C:\\s\""});
  EXPECT_TRUE(csvLacksLength(csv));
}

TEST(RsyncTest, CountsObjectsInTheirFoldersAndChecksTheTotal) {
  RsyncListing rsync;
  startRsync(rsync);
  std::vector<std::string> folders;
  std::vector<std::uint64_t> sizes = feed(
      rsync, readRsyncLine,
      {"receiving incremental file list", "drwxr-xr-x          4,096 2026/12/01 17:45:10 .",
       "-rw-r--r--          1,000 2026/12/01 17:45:10 top.txt",
       "lrwxrwxrwx             14 2026/11/20 08:30:00 a b/link -> x/y",
       "-rw-r--r--           2000 2026/12/01 17:45:10 a b/c/d.txt",
       "-rw-r--r--           2000 2026/13/01 17:45:10 bad.txt", "",
       "total size is 3,014  speedup is 1.00"},
      &folders);
  EXPECT_EQ(sizes, (std::vector<std::uint64_t>{1000, 0, 2000}));
  EXPECT_EQ(folders, (std::vector<std::string>{".", "./a b/", "./a b/c/"}));
  EXPECT_EQ(rsync.nUnread, 1u);
  EXPECT_TRUE(rsync.bTotal);
  EXPECT_EQ(rsync.nStated, rsync.nBytes);  // links' text lengths included
}

}  // namespace

namespace {

// The kind decided for a listing of these lines, read as the core reads
// it; the lines must come out again in order.
int decide(const std::vector<std::string>& lines) {
  std::unique_ptr<Reader> pReader(new Reader());
  std::unique_ptr<KindDecision> pDecision(new KindDecision());
  std::FILE* stream = std::tmpfile();
  if (stream == nullptr) return -2;
  for (const std::string& line : lines) std::fprintf(stream, "%s\n", line.c_str());
  std::rewind(stream);
  startReading(*pReader, stream);
  startKindDecision(*pDecision);
  std::vector<std::string> read;
  Piece piece;
  while (readListingPiece(*pReader, *pDecision, piece)) {
    if (!pDecision->bDecided && holdPiece(*pReader, *pDecision, piece)) continue;
    read.emplace_back(piece.szText, piece.nLength);
  }
  std::fclose(stream);
  EXPECT_EQ(read, lines);
  return listingKind(*pDecision);
}

std::vector<std::string> repeated(std::size_t n, const std::string& line) {
  return std::vector<std::string>(n, line);
}

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::string kDashes(79, '-');
const std::string kDirFile = "12/08/2026  11:02 PM           1,024 a.txt";
const std::string kLsFile = "-rw-r--r-- 1 kim kim 700 Nov 20 08:30 a";
const std::string kRobocopyFile = "\t    New File  \t\t    1024\ta.txt";

// One line never decides: a kind is chosen by its header in its place, or
// by several lines that read in it.
TEST(KindDecisionTest, WeighsHeadersInTheirPlaceAndSeveralLines) {
  struct Case {
    const char* szWhat;
    std::vector<std::string> lines;
    int nKind;
  };
  const std::vector<std::string> dirBody = {" Directory of C:\\x",
                                            "",
                                            "12/08/2026  11:02 PM    <DIR>          .",
                                            kDirFile,
                                            kDirFile,
                                            kDirFile,
                                            kDirFile,
                                            kDirFile,
                                            kDirFile,
                                            kDirFile,
                                            kDirFile};
  const std::vector<Case> aCases = {
      {"a tab line first", joined({"\tServer:\tFS01"}, dirBody), kKindDir},
      {"robocopy's words in a name",
       joined({"12/08/2026  11:02 PM  1,024 x   ROBOCOPY :: y", "   ROBOCOPY     ::     x"},
              dirBody),
       kKindDir},
      {"robocopy's banner after lines of its own",
       {" Log File : C:\\logs\\job.log", "", "Tue 12/08/2026", "**********", "transcript start", "",
        kDashes, "   ROBOCOPY     ::     job", kDashes, "", "  Started : x"},
       kKindRobocopy},
      {"robocopy's banner without its dashes", {"   ROBOCOPY     ::     job", kDirFile}, kKindDir},
      {"robocopy without its header (/NJH)",
       {"", "\t                   2\tD:\\Share\\", kRobocopyFile,
        "\t    New File  \t\t 470.8 k\tb"},
       kKindRobocopy},
      {"one robocopy line", {kRobocopyFile}, kKindDir},
      {"ls -lR whose first folder is a number", {"2024:", "total 8", kLsFile}, kKindLs},
      {"ls -lsi",
       {"5 -rw-r--r-- 1 k k 700 Nov 20 08:30 a", "131 4 -rw-r--r-- 1 k k 9 Nov 20 08:30 b"},
       kKindLs},
      {"ls indented by a tab", {"\t./x:", "\ttotal 4", "\t" + kLsFile}, kKindLs},
      {"ls without its total, but lines enough", repeated(3, kLsFile), kKindLs},
      {"rsync -h",
       {"drwxr-xr-x          4.10K 2026/12/09 08:17:02 .",
        "-rw-r--r--          1.50K 2026/12/09 08:17:02 a/k"},
       kKindRsync},
      {"a CSV export with sep= and -UseCulture",
       {"sep=;", "\"FullName\";\"Length\"", "\"C:\\a\";\"1\""},
       kKindCsv},
      {"a CSV header past its place", joined(dirBody, {"\"FullName\",\"Length\""}), kKindDir},
      {"a tie", {kLsFile, kLsFile, kRobocopyFile, kRobocopyFile}, kKindDir},
  };
  for (const Case& c : aCases) EXPECT_EQ(decide(c.lines), c.nKind) << c.szWhat;
}

// Lines that show no kind are held up to kKindLookahead; the evidence of
// the last of them still counts, of the next one no longer.
TEST(KindDecisionTest, WeighsExactlyTheLookahead) {
  const std::string kNothing = " words";
  for (int nBefore : {kKindLookahead - 3, kKindLookahead - 2, kKindLookahead - 1}) {
    std::vector<std::string> lines =
        joined(repeated(static_cast<std::size_t>(nBefore), kNothing), {kLsFile, kLsFile});
    EXPECT_EQ(decide(lines), nBefore <= kKindLookahead - 2 ? kKindLs : kKindDir) << nBefore;
  }
}

// Whatever the scan's names hold, its listing (--list) is read back as dir.
TEST(KindDecisionTest, ReadsTheScansListingAsDir) {
  const char* const aszNames[] = {"   ROBOCOPY     ::     x",
                                  "\tServer:\tFS01",
                                  "\"FullName\",\"Length\"",
                                  "#TYPE x",
                                  "-rw-r--r-- 1 kim kim 700 Nov 20 08:30 a",
                                  "total 12",
                                  "sep=;",
                                  kRobocopyFile.c_str(),
                                  "-rw-r--r--          5,000 2026/11/20 08:30:00 docs/a",
                                  "sending incremental file list"};
  std::string sListing;
  appendListingHeader(sListing, "/srv/   ROBOCOPY     ::     x", '/');
  WalkObject object;
  object.nYear = 2026;
  object.nMonth = 12;
  object.nDay = 8;
  object.nSize = 5;
  for (const char* szName : aszNames) appendListingLine(sListing, object, szName);
  appendListingTotals(sListing, 10, 50);
  std::vector<std::string> lines;
  for (std::size_t nStart = 0; nStart < sListing.size();) {
    std::size_t nEnd = sListing.find('\n', nStart);
    lines.push_back(sListing.substr(nStart, nEnd - nStart));
    nStart = nEnd + 1;
  }
  EXPECT_EQ(decide(lines), kKindDir);
}

TEST(KindDecisionTest, KnowsTheKindsByTheirOptionNames) {
  for (int k = 0; k < kKinds; k++) EXPECT_EQ(kindOfOption(kKindRows[k].szOption), k);
  EXPECT_EQ(kindOfOption("DIR"), kKindUnknown);
  EXPECT_EQ(kindOfOption(""), kKindUnknown);
  EXPECT_EQ(kKindRows[kKindFind].nReadAs, kKindFind);  // dir-shaped find lines: see listingKind
  EXPECT_EQ(kindOptionNames(),
            "dir, ls, robocopy, csv, rsync, find, log, ncdu, lsjson, rclone, s3, mc, gsutil, "
            "azcopy, tar, dwalk");
}

TEST(KindDecisionTest, TellsDirFileLinesByTheirShape) {
  struct Case {
    const char* szLine;
    bool bFile;
  } const aCases[] = {
      {"12/08/2026  11:02 PM           1,024 a.txt", true},
      {"14.03.2024  15:02           111.498 notiz.txt", true},
      {"14/03/2024  10:37 a. m.        111,498 notas.txt", true},
      {"2026-12-08  23:30:12             4096 notes.txt", true},
      {"-a----        12/8/2026  11:02 PM   1024 a.txt", true},
      {"-arhsl        12/8/2026  11:02 PM   1024 a.txt", true},
      {"-a---x        12/8/2026  11:02 PM   1024 a.txt", false},
      {"aa----        12/8/2026  11:02 PM   1024 a.txt", false},
      {"\ta----        12/8/2026  11:02 PM   1024 a.txt", false},
      {"12/08/2026  11:02 PM    <DIR>          sub", false},
      {"               2 File(s)          1,024 bytes", false},
      {" Directory of C:\\x", false},
      {"12/08/2026  11:02 PM", false},
      {"2026/12/08 22:00:05 ERROR 32 (0x00000020) Copying File D:\\a.txt", false},
      {"2026/12/08 22:00:05 ERROR 32 D:\\a.txt", true},
      {"-rw-r--r-- 1 kim kim 700 Nov 20 08:30 a", false},
      {"", false},
  };
  for (const Case& c : aCases) {
    std::string line = padded(c.szLine);
    EXPECT_EQ(looksLikeDirFile(line.c_str(), std::strlen(c.szLine)), c.bFile) << c.szLine;
  }
}

TEST(KindTextTest, ReadsNumbersUpToTheLargestFileSize) {
  struct Case {
    const char* szText;
    bool bRead;
    std::uint64_t nValue;
  } const aCases[] = {
      {"0", true, 0},
      {"1", true, 1},
      {"4294967295", true, 4294967295u},
      {"4294967296", true, 4294967296u},
      {"999999999999999999", true, 999999999999999999u},  // 18 digits: the quick path
      {"9223372036854775807", true, 9223372036854775807u},
      {"9223372036854775808", false, 0},  // 19 digits past 2^63 - 1
      {"9999999999999999999", false, 0},
      {"18446744073709551615", false, 0},
      {"18446744073709551616", false, 0},
      {"9,223,372,036,854,775,807", true, 9223372036854775807u},
      {"9,223,372,036,854,775,808", false, 0},
      {"1,024", true, 1024},
      {"1,02", true, 102},
      {"1,", false, 0},
      {"", false, 0},
      {"12a", false, 0},
  };
  for (const Case& c : aCases) {
    std::uint64_t nValue = 7;
    std::string text = padded(c.szText);
    const char* pEnd = text.c_str() + std::strlen(c.szText);
    ASSERT_EQ(readGroupedNumber(text.c_str(), pEnd, nValue), c.bRead) << c.szText;
    if (c.bRead) {
      EXPECT_EQ(nValue, c.nValue) << c.szText;
    }
  }
}

TEST(KindTextTest, ReadsRoundedSizes) {
  struct Case {
    const char* szText;
    unsigned nBase;
    bool bRead;
    std::uint64_t nBytes;
  } const aCases[] = {
      {"1.50K", 1000, true, 1500},
      {"4.10K", 1000, true, 4100},
      {"1.10M", 1000, true, 1100000},
      {"12M", 1000, true, 12000000},
      {"1.00K", 1024, true, 1024},
      {"1.46K", 1024, true, 1495},
      {"2.5G", 1000, true, 2500000000u},
      {"9.2E", 1000, true, 9200000000000000000u},
      {"9.3E", 1000, false, 0},
      {"1.5", 1000, false, 0},
      {"K", 1000, false, 0},
      {"1.K", 1000, false, 0},
      {"1.5k", 1000, false, 0},
      {"1..5K", 1000, false, 0},
  };
  for (const Case& c : aCases) {
    std::uint64_t nBytes = 0;
    std::string text = padded(c.szText);
    const char* pEnd = text.c_str() + std::strlen(c.szText);
    ASSERT_EQ(readRoundedSize(text.c_str(), pEnd, c.nBase, nBytes), c.bRead) << c.szText;
    if (c.bRead) {
      EXPECT_EQ(nBytes, c.nBytes) << c.szText;
    }
  }
}

// Sizes with a unit as the tools that write them read them: each unit's
// power, the byte nearest (a half rounded up), and the slack of the last
// digit written; a size past the largest file's is none.
TEST(KindTextTest, ReadsUnitSizesToTheNearestByte) {
  struct Case {
    const char* szNumber;
    const char* szUnit;
    unsigned nBase;
    bool bRead;
    std::uint64_t nBytes;
    std::uint64_t nSlack;
  } const aCases[] = {
      {"2.5", "B", 1000, true, 3, 0},
      {"1.5", "Bytes", 1000, true, 2, 0},
      {"0.5", "bytes", 1000, true, 1, 0},
      {"0.49", "Byte", 1000, true, 0, 0},
      {"1", "k", 1000, true, 1000, 500},
      {"1.5", "KiB", 1000, true, 1536, 51},      // 51.2
      {"118.706", "KB", 1024, true, 121555, 1},  // 121554.944, 0.512
      {"3", "Mi", 1000, true, 3145728, 524288},
      {"5.000", "GB", 1024, true, 5368709120u, 536871},  // 536870.912
      {"2", "T", 1024, true, 2199023255552u, 549755813888u},
      {"3", "P", 1000, true, 3000000000000000u, 500000000000000u},
      {"9", "E", 1000, true, 9000000000000000000u, 500000000000000000u},
      {"9.3", "E", 1000, false, 0, 0},
      {"8", "EiB", 1024, false, 0, 0},  // 2^63
      {"1", "X", 1000, false, 0, 0},
      {"1", "KBs", 1000, false, 0, 0},
      {"1.", "KB", 1000, false, 0, 0},
  };
  for (const Case& c : aCases) {
    std::string sNumber = padded(c.szNumber);
    std::string sUnit = padded(c.szUnit);
    const char* pNumber = sNumber.c_str();
    const char* pUnit = sUnit.c_str();
    std::uint64_t nBytes = 7;
    std::uint64_t nSlack = 7;
    ASSERT_EQ(readUnitSize(pNumber, pNumber + std::strlen(c.szNumber), pUnit,
                           pUnit + std::strlen(c.szUnit), c.nBase, nBytes, nSlack),
              c.bRead)
        << c.szNumber << c.szUnit;
    if (c.bRead) {
      EXPECT_EQ(nBytes, c.nBytes) << c.szNumber << c.szUnit;
      EXPECT_EQ(nSlack, c.nSlack) << c.szNumber << c.szUnit;
    }
  }
}

// The blanks of a line's first bytes, sixteen at a time, against a byte
// by byte reading: lines of blanks, tabs, controls, NULs, letters, digits
// and bytes above 127, every length up to 64.
TEST(KindTextTest, MasksBlanksAsBytesAreRead) {
  const char acBytes[] = {' ', ' ', ' ', 'a', '0', '\t', '\x01', '\0', '\x80', '\xA0', '!'};
  std::uint32_t nSeed = 12345;
  for (int nLine = 0; nLine < 400; nLine++) {
    char acLine[80];
    for (char& c : acLine) {
      nSeed = nSeed * 1103515245u + 12345u;
      // mostly fields and blanks, as lines are; now and then another byte
      c = acBytes[(nSeed >> 16) % (nLine % 4 == 0 ? sizeof acBytes : 5)];
    }
    for (int nBytes = 1; nBytes <= 64; nBytes++) {
      bool bPlain = true;
      std::uint64_t nExpected = 0;
      for (int i = 0; i < nBytes; i++) {
        auto b = static_cast<unsigned char>(acLine[i]);
        if (b == ' ') nExpected |= std::uint64_t{1} << i;
        if (b < 0x21 && b != ' ') bPlain = false;
      }
      std::uint64_t nBlanks = 0;
      ASSERT_EQ(maskBlanks(acLine, nBytes, nBlanks), bPlain) << nLine << " " << nBytes;
      if (bPlain) {
        EXPECT_EQ(nBlanks, nExpected) << nLine << " " << nBytes;
      }
    }
  }
}

// The clocks read inline are read as readClock reads them: every hour
// and the minutes and seconds around their bounds, and a wrong byte at
// each place.
TEST(KindTextTest, ReadsUsualClocksAsReadClockDoes) {
  std::vector<std::string> clocks = {"1:00", "12:00:00.5", "12:00:0", "12:000", "12:00:000", ""};
  for (int nHour = 0; nHour <= 25; nHour++) {
    for (int nMinute : {0, 9, 59, 60, 99}) {
      for (int nSecond : {-1, 0, 59, 60, 61}) {
        char sz[16];
        std::snprintf(sz, sizeof sz, nSecond < 0 ? "%02d:%02d" : "%02d:%02d:%02d", nHour, nMinute,
                      nSecond);
        clocks.push_back(sz);
      }
    }
  }
  for (const char* szGood : {"12:34", "12:34:56"}) {
    for (std::size_t i = 0; i < std::strlen(szGood); i++) {
      for (char c : {'a', ':', '/', ' ', '\0'}) {
        std::string clock = szGood;
        clock[i] = c;
        clocks.push_back(clock);
      }
    }
  }
  for (const std::string& clock : clocks) {
    std::string text = padded(clock);
    const char* pC = text.c_str();
    int nUsual = -1;
    int nRead = -1;
    bool bUsual = readUsualClock(pC, pC + clock.size(), nUsual);
    ASSERT_EQ(bUsual, readClock(pC, pC + clock.size(), nRead)) << clock;
    EXPECT_EQ(nUsual, nRead) << clock;
  }
}

// dwalk's sizes (three decimals and a unit) are read in whole numbers:
// every thousandth after a few wholes, in the units and bases around its
// own, gives readUnitSize's bytes and slack; the shape it leaves to
// readUnitSize is exactly the one it cannot tell.
TEST(KindTextTest, ReadsThreeDecimalsAsReadUnitSizeDoes) {
  const char* const aszWholes[] = {"0",        "1",        "9",       "1023",      "8388", "8389",
                                   "12345678", "99999999", "0000001", "123456789", ""};
  const char* const aszUnits[] = {"B",  "KB",  "kB", "MB",    "GB", "TB",
                                  "PB", "KiB", "K",  "Bytes", "BB"};
  const char* const aszFractions[] = {".000", ".001", ".499",  ".500", ".501", ".706", ".999",
                                      ".5",   ".50",  ".5000", "",     ".0a0", ". 00"};
  int nQuick = 0;
  for (const char* szWhole : aszWholes) {
    for (const char* szFraction : aszFractions) {
      std::string number = std::string(szWhole) + szFraction;
      for (int f = 0; f < (std::strcmp(szFraction, ".000") == 0 ? 1000 : 1); f++) {
        if (f > 0) number.replace(number.size() - 3, 3, std::to_string(1000 + f).substr(1));
        for (const char* szUnit : aszUnits) {
          for (unsigned nBase : {1000u, 1024u}) {
            std::string sNumber = padded(number);
            std::string sUnit = padded(szUnit);
            const char* pNumber = sNumber.c_str();
            const char* pNumberEnd = pNumber + number.size();
            const char* pUnit = sUnit.c_str();
            const char* pUnitEnd = pUnit + std::strlen(szUnit);
            std::uint64_t nBytes = 7;
            std::uint64_t nSlack = 7;
            std::uint64_t nSlowBytes = 0;
            std::uint64_t nSlowSlack = 0;
            bool bSlow =
                readUnitSize(pNumber, pNumberEnd, pUnit, pUnitEnd, nBase, nSlowBytes, nSlowSlack);
            bool bQuick =
                readQuickUnitSize(pNumber, pNumberEnd, pUnit, pUnitEnd, nBase, nBytes, nSlack);
            std::string unit = szUnit;
            bool bUnit = unit == "B" || (nBase == 1024 && unit.size() == 2 && unit[1] == 'B' &&
                                         std::strchr("KkMGT", unit[0]) != nullptr);
            std::size_t nWhole = std::strlen(szWhole);
            bool bShape =
                nWhole >= 1 && nWhole <= 8 && number.size() == nWhole + 4 && bSlow && bUnit;
            bool bExpected = bShape && nSlowBytes < (std::uint64_t{1} << 40);
            ASSERT_EQ(bQuick, bExpected) << number << " " << unit << " " << nBase;
            if (!bQuick) {
              EXPECT_EQ(nBytes, 7u);
              continue;
            }
            nQuick++;
            EXPECT_EQ(nBytes, nSlowBytes) << number << " " << unit << " " << nBase;
            EXPECT_EQ(nSlack, nSlowSlack) << number << " " << unit << " " << nBase;
          }
        }
      }
    }
  }
  EXPECT_GT(nQuick, 40000);
}

// Headers, indents, leading columns and the year of ls -lT, line by line.
TEST(LsLineTest, ReadsHeadersIndentsColumnsAndTheYearAfterTheTime) {
  LsListing ls;
  startLs(ls, kToday);
  std::vector<std::string> folders;
  std::vector<std::uint64_t> sizes =
      feed(ls, readLsLine,
           {"'my dir':", "total 8", "-rw-r--r--  1 kim  staff  700 Mar 14 15:02:07 2020 a b.txt",
            "2024:", "  8 -rw-r--r-- 1 kim kim 7000 Nov 20 08:30 c",
            "1312 4 -rw-r--r-- 1 k k 70 Nov 20 08:30 d", "\t./t:", "\ttotal 4",
            "\t-rw-r--r-- 1 kim kim 5 Nov 20 08:30 e",
            "    4 drwxr-xr-x 2 kim kim 4096 Nov 20 08:30 sub"},
           &folders);
  EXPECT_EQ(sizes, (std::vector<std::uint64_t>{700, 7000, 70, 5}));
  EXPECT_EQ(folders, (std::vector<std::string>{"my dir", "2024", "2024", "./t"}));
  EXPECT_EQ(ls.nUnread, 0u);
  Entry entry;
  std::string line = padded("-rw-r--r--  1 kim  staff  700 Mar 14 15:02:07 2020 a b.txt");
  ASSERT_TRUE(readLsLine(ls, line.c_str(), line.size() - kPieceSlack, entry));
  EXPECT_EQ(stampText(entry.stamp), "2020-03-14 54127");  // not the year before today
}

TEST(CsvTest, ReadsSeparatorsLineBreaksReparsePointsAndLinks) {
  struct Case {
    const char* szWhat;
    std::vector<std::string> lines;
    std::vector<std::uint64_t> sizes;
    std::uint64_t nUnread;
  };
  const std::vector<Case> aCases = {
      {"reparse points count their Length",
       {"\"FullName\",\"Length\",\"Attributes\"",
        "\"C:\\disk.img\",\"5000\",\"Archive, SparseFile, ReparsePoint\"",
        "\"C:\\b\",\"70\",\"Archive, ReparsePoint\""},
       {5000, 70},
       0},
      {"a LinkType says link; a hard link is a file",
       {"\"FullName\",\"Length\",\"LinkType\"", "\"C:\\a\",\"12\",\"SymbolicLink\"",
        "\"C:\\b\",\"13\",\"HardLink\"", "\"C:\\c\",\"14\",\"\""},
       {0, 13, 14},
       0},
      {"the mode says link, in either shell",
       {"Mode,FullName,Length", "-a---l,C:\\a,12", "la---,C:\\b,13", "-a----,C:\\c,14"},
       {0, 0, 14},
       0},
      {"an empty Length is a folder",
       {"\"FullName\",\"Length\"", "\"C:\\sub\",\"\"", "\"C:\\a\",\"9\""},
       {9},
       0},
      {"-UseCulture's separator",
       {"#TYPE X", "\"FullName\";\"Length\";\"LastWriteTime\"",
        "\"C:\\a,b\";\"12\";\"14.03.2026 15:02:07\""},
       {12},
       0},
      {"a spreadsheet's sep= line",
       {"sep=;", "FullName;Length", "C:\\a;15", "C:\\b,c;16"},
       {15, 16},
       0},
      {"a line break in a quoted name",
       {"\"FullName\",\"Length\"", "\"C:\\two", "lines", "here.txt\",\"21\"",
        "\"C:\\one.txt\",\"22\""},
       {21, 22},
       0},
  };
  for (const Case& c : aCases) {
    CsvListing csv;
    startCsv(csv);
    EXPECT_EQ(feed(csv, readCsvLine, c.lines), c.sizes) << c.szWhat;
    EXPECT_EQ(csvUnreadRows(csv), c.nUnread) << c.szWhat;
  }
}

// Reads one row of a "FullName,Length" export, its NUL followed by digits
// where the reader's slack may hold anything. Returns whether it counted.
bool readCsvRow(CsvListing& csv, const std::string& row, std::uint64_t& nSize) {
  startCsv(csv);
  Entry entry;
  const std::string header = "FullName,Length";
  readCsvLine(csv, padded(header).c_str(), header.size(), entry);
  std::string text = row + '\0' + std::string(kPieceSlack, '9');
  bool bCounted = readCsvLine(csv, text.c_str(), row.size(), entry);
  nSize = entry.nSize;
  return bCounted;
}

// A quote opens a row that goes on to the next line, and a second closes
// it: at every place of rows of every width around the sixteen bytes that
// are counted at once. Lengths are read to the digit: eight at once, more
// or grouped as before, anything else not.
TEST(CsvTest, TellsOpenQuotesAtEveryPlaceAndReadsLengthsToTheDigit) {
  CsvListing csv;
  std::uint64_t nSize = 0;
  for (std::size_t nWidth = 1; nWidth <= 48; nWidth++) {
    for (std::size_t i = 0; i < nWidth; i++) {
      std::string name(nWidth, 'a');
      name[i] = '"';
      EXPECT_FALSE(readCsvRow(csv, name + ",7", nSize)) << name;
      EXPECT_EQ(csvUnreadRows(csv), 1u) << name;
      for (std::size_t k = i + 1; k < nWidth; k++) {
        std::string pair = name;
        pair[k] = '"';
        EXPECT_TRUE(readCsvRow(csv, pair + ",7", nSize) && nSize == 7) << pair;
        EXPECT_EQ(csvUnreadRows(csv), 0u) << pair;
      }
    }
  }
  const struct {
    const char* szLength;
    bool bCounted;
    std::uint64_t nSize;
  } aLengths[] = {{"0", true, 0},
                  {"7", true, 7},
                  {"12345678", true, 12345678},
                  {"123456789", true, 123456789},
                  {"9223372036854775807", true, 9223372036854775807u},
                  {"9223372036854775808", false, 0},
                  {"1,234", true, 1234},
                  {"12a", false, 0},
                  {"1234567a", false, 0},
                  {" 5", false, 0}};
  for (const auto& c : aLengths) {
    for (const char* szQuote : {"", "\""}) {
      // An unquoted comma separates fields.
      if (*szQuote == '\0' && std::strchr(c.szLength, ',') != nullptr) continue;
      std::string row = std::string("C:\\a,") + szQuote + c.szLength + szQuote;
      EXPECT_EQ(readCsvRow(csv, row, nSize), c.bCounted) << row;
      if (c.bCounted) {
        EXPECT_EQ(nSize, c.nSize) << row;
      }
      EXPECT_EQ(csvUnreadRows(csv), c.bCounted ? 0u : 1u) << row;
    }
  }
}

TEST(RsyncTest, ReadsRoundedSizesAndCountsErrorLines) {
  RsyncListing rsync;
  startRsync(rsync);
  std::vector<std::uint64_t> sizes =
      feed(rsync, readRsyncLine,
           {"drwxr-xr-x          4.10K 2026/12/09 08:17:02 .",
            "-rw-r--r--            999 2026/12/09 08:17:02 a/b",
            "-rw-r--r--          1.50K 2026/12/09 08:17:02 a/k",
            "-rw-r--r--          1.10M 2026/12/09 08:17:02 a/m",
            "rsync: [sender] opendir \"/x\" failed: Permission denied (13)",
            "rsync error: some files/attrs were not transferred (code 23)"});
  EXPECT_EQ(sizes, (std::vector<std::uint64_t>{999, 1500, 1100000}));
  EXPECT_EQ(rsync.nRounded, 2u);
  EXPECT_EQ(rsync.nErrors, 2u);
  EXPECT_EQ(rsync.nUnread, 0u);
}

}  // namespace
