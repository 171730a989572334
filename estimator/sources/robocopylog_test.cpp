#include "sources/robocopylog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "sources/reader.h"
#include "reports/sourcewarnings.h"
#include "reports/warnings.h"

namespace {

// A log read as the reader hands its lines out: kPieceSlack readable bytes
// after each line's NUL.
struct Read {
  RobocopyLog log;                   // its last job closed
  std::vector<std::uint64_t> sizes;  // of the files counted
  std::vector<bool> stamped;
  std::vector<std::string> folders;
  std::vector<std::string> warnings;
};

Read readLines(const std::vector<std::string>& lines) {
  Read read;
  startRobocopy(read.log);
  for (const std::string& line : lines) {
    std::string text = line + std::string(kPieceSlack, '\0');
    Entry entry;
    if (!readRobocopyLine(read.log, text.c_str(), line.size(), entry)) continue;
    read.sizes.push_back(entry.nSize);
    read.stamped.push_back(entry.stamp.bHasDate);
    read.folders.emplace_back(entry.pFolder == nullptr ? ""
                                                       : std::string(entry.pFolder, entry.nFolder));
  }
  resetWarnings();
  warnRobocopy(read.log);
  for (std::size_t i = 0; i < warningCount(); i++) read.warnings.push_back(warningText(i));
  closeRobocopyJob(read.log);  // the last job, as the warnings saw it
  return read;
}

// The lines of a text, split at its line feeds.
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t nStart = 0;
  for (std::size_t nEnd; (nEnd = text.find('\n', nStart)) != std::string::npos; nStart = nEnd + 1) {
    lines.push_back(text.substr(nStart, nEnd - nStart));
  }
  if (nStart < text.size()) lines.push_back(text.substr(nStart));
  return lines;
}

std::string joined(const std::vector<std::string>& texts) {
  std::string s;
  for (const std::string& text : texts) s += text + "\n";
  return s;
}

// Each class that robocopy writes, in each language, as written or read in
// another code page: a file of that class counts or not, and a class known
// raises no doubt in a log without a summary.
TEST(RobocopyClassTest, CountsWhatWasCopiedInEveryLanguage) {
  struct Case {
    const char* szClass;
    bool bCounts;
  } const aCases[] = {
      // English
      {"New File", true},
      {"Newer", true},
      {"Older", true},
      {"Changed", true},
      {"same", false},
      {"Same", false},
      {"Tweaked", false},
      {"Modified", false},
      {"named", false},
      {"junction", false},
      {"lonely", false},
      {"large", false},
      {"small", false},
      {"too old", false},
      {"too new", false},
      {"attrib", false},
      {"*EXTRA File", false},
      {"*Mismatch", false},
      // German, in UTF-8 and code page 850, and UTF-8 read as 1252
      {"Neue Datei", true},
      {"\xC3\x84lter", true},
      {"\x8Elter", true},
      {"\xC3\x83\xE2\x80\x9Elter", true},
      {"?lter", true},
      {"identisch", false},
      {"Identisch", false},
      {"Zu alt", false},
      {"Gro\xC3\x9F", false},
      {"Gro\xE1", false},
      {"*EXTRA Datei", false},
      // French
      {"Nouveau fichier", true},
      {"Plus r\xC3\xA9"
       "cent",
       true},
      {"Plus r\x82"
       "cent",
       true},
      {"Plus r\xE2\x80\x9A"
       "cent",
       true},
      {"identique", false},
      {"nomm\xC3\xA9", false},
      {"trop r\x82"
       "cent",
       false},
      {"*Fichier EXTRA", false},
      // Spanish
      {"Nuevo archivo", true},
      {"M\xC3\xA1s antiguo", true},
      {"M\xA0s antiguo", true},
      {"igual", false},
      {"peque\xC3\xB1o", false},
      {"peque\xA4o", false},
      // Italian
      {"Nuovo file", true},
      {"Pi\xC3\xB9 recente", true},
      {"uguale", false},
      {"troppo vecchio", false},
      // Portuguese
      {"Novo arquivo", true},
      {"Mais antigo", true},
      {"igual", false},
      {"jun\xC3\xA7\xC3\xA3o", false},
      {"jun\x87\xC6o", false},
      // Russian, in UTF-8 and code page 866
      {"\xD0\x9D\xD0\xBE\xD0\xB2\xD1\x8B\xD0\xB9 \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB", true},
      {"\x8D\xAE\xA2\xEB\xA9 \xE4\xA0\xA9\xAB", true},
      {"\xD1\x82\xD0\xBE\xD1\x82 \xD0\xB6\xD0\xB5", false},
      {"\xE2\xAE\xE2 \xA6\xA5", false},
      {"\xA0\xE2\xE0\xA8\xA1\xE3\xE2", false},
      // Japanese, in UTF-8 and code page 932
      {"\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB",
       true},
      {"\x90V\x82\xB5\x82\xA2\x83t\x83@\x83"
       "C\x83\x8B",
       true},
      {"\xE5\x90\x8C\xE3\x81\x98", false},
      {"\x93\xAF\x82\xB6", false},
      {"\xE5\x90\x8D\xE5\x89\x8D\xE4\xBB\x98\xE3\x81\x8D", false},
      // Chinese, in UTF-8 and code page 936
      {"\xE6\x96\xB0\xE6\x96\x87\xE4\xBB\xB6", true},
      {"\xD0\xC2\xCE\xC4\xBC\xFE", true},
      {"\xE7\x9B\xB8\xE5\x90\x8C", false},
      {"\xCF\xE0\xCD\xAC", false},
      {"\xCC\xAB\xBE\xC9", false},
  };
  for (const Case& c : aCases) {
    for (bool bPasted : {false, true}) {
      std::string line = bPasted ? std::string("          ") + c.szClass + "        1000    f.txt"
                                 : std::string("\t    ") + c.szClass + "  \t\t    1000\tf.txt";
      Read read = readLines({line});
      EXPECT_EQ(read.sizes.size(), c.bCounts ? 1u : 0u) << line;
      EXPECT_EQ(read.warnings, std::vector<std::string>()) << line;
    }
  }
  // A class not known counts, and is said when no summary confirms it.
  Read read = readLines({"\t    Frobbed  \t\t    1000\tf.txt", "\t\t\t    1000\tg.txt"});
  EXPECT_EQ(read.sizes.size(), 2u);
  EXPECT_EQ(read.warnings, std::vector<std::string>{
                               "2 files of a class not known (such as 'Frobbed') were counted "
                               "as copied, and no summary in the log confirms them"});
}

// The options of the header decide the classes that count, for that job
// alone: a job without a header counts by default again.
TEST(RobocopyClassTest, OptionsOfTheJobDecide) {
  std::string sOptions = "  Options : *.* /S /E /XO /XN /XC /IS /IT /IM /R:0";
  std::vector<std::string> body = {"\t    Older  \t\t  1\ta",  "\t    Newer  \t\t  2\tb",
                                   "\t    Changed \t\t  4\tc", "\t    same  \t\t  8\td",
                                   "\t    Tweaked \t\t 16\te", "\t    Modified \t\t 32\tf"};
  std::vector<std::string> lines = {"   ROBOCOPY     ::     x", sOptions};
  lines.insert(lines.end(), body.begin(), body.end());
  lines.insert(lines.end(), {"   Dirs :  1  1  0  0  0  0", "   Files :  3  3  0  0  0  0",
                             "   Bytes :  56  56  0  0  0  0"});
  lines.insert(lines.end(), body.begin(), body.end());  // the next job, without a header
  Read read = readLines(lines);
  EXPECT_EQ(read.sizes, (std::vector<std::uint64_t>{8, 16, 32, 1, 2, 4}));
  EXPECT_EQ(read.log.nJobsChecked, 1u);
  EXPECT_EQ(read.warnings, std::vector<std::string>());
}

// Each shape of a file line, and the lines that are no file however much
// they look like one.
TEST(RobocopyLineTest, ReadsTheSizeTheDateAndTheNameByTheirColumns) {
  const std::uint64_t kNoFile = UINT64_MAX;
  const std::uint64_t kNoSize = UINT64_MAX - 1;  // a file without a size
  struct Case {
    const char* szLine;
    std::uint64_t nSize;
    bool bStamped;
  } const aCases[] = {
      {"\t    New File  \t\t  470.8 k\tb.bin", 482099, false},
      {"\t    New File  \t\t     123\tt notes", 123, false},  // a name, no unit
      {"\t    New File  \t\t     123\tm", 123, false},
      {"\t    New File  \t\t  1.2 g\t2026/11/20 08:30:00\t2019 plan.txt", 1288490189, true},
      {"\t    New File  \t\t2026/11/20 08:30:00\treadme.txt", kNoSize, true},  // /NS /TS
      {"\t    New File  \t\t2019 report.doc", kNoSize, false},                 // /NS
      {"\t    New File  \t\t2019\t2019", 2019, false},
      {"\t    New File  \t\t     300\t\x95\\", 300, false},  // code page 932, not a folder
      {"\t\t\t     300\tf.txt", 300, false},                 // /NC
      {"        New File          123 m", 123, false},       // pasted
      {"        New File        470.8 k    b.bin", 482099, false},
      {"        New File      2026/11/20 08:30:00    readme.txt", kNoSize, true},
      {"        New File   700   2026/11/20 08:30:00   a b.txt", 700, true},
      {"  0%  \r 45%  \r100%  \r\t    New File  \t\t     700\ta.txt", 700, false},
      {"\t    New File  \t\t     700\ta.txt\r  0%  \r100%  ", 700, false},
      {"  0%  ", kNoFile, false},
      {" 100%", kNoFile, false},
      {"  45.5%  \r", kNoFile, false},
      {"\t    New File  \t\t 1.5\tx", kNoFile, false},     // a fraction of a byte
      {"\t    New File  \t\t   470.8 k", kNoFile, false},  // cut off before the name
      {"\t    New File  \t\t   47", kNoFile, false},
      {"\t  New Dir          3\tD:\\Share\\media\\", kNoFile, false},
      {"\t                   3\t\\\\nas\\share\\", kNoFile, false},
      {"\t    *.doc", kNoFile, false},         // a header's second file pattern
      {"\t    a.doc\tb.txt", kNoFile, false},  // a class and a name need the tabs between
      {" Log File : C:\\logs\\job 2.log", kNoFile, false},
      {"  Started : Tuesday, 8 December 2026 22:00:00", kNoFile, false},
      {"   Source : D:\\Share\\", kNoFile, false},
      {"   Files :         7         5         2         0         0         1", kNoFile, false},
      {"   Bytes :    1.24 g    1.24 g    10.0 k         0         0     4.8 k", kNoFile, false},
      {"   Speed :           123456789 Bytes/sec.", kNoFile, false},
      {"   Speed :            7064.175 MegaBytes/min.", kNoFile, false},
      {"   Ended : Tuesday, 8 December 2026 22:00:09", kNoFile, false},
      {"   Dateien:         7         5         2         0         0         1", kNoFile, false},
      {"Directorios:         7         5         2         0         0         1", kNoFile, false},
      {"\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xEF\xBC\x9A 7 5 2 0 0 1", kNoFile, false},
      {"  \xE9\x80\x9F\xE5\xBA\xA6\xEF\xBC\x9A 123456789 B/s", kNoFile, false},
      {"   ROBOCOPY     ::     2 jobs", kNoFile, false},
      {"2026/12/08 22:00:05 ERROR 32 (0x00000020) Copying File D:\\a.txt", kNoFile, false},
      {"Retry in 30 s", kNoFile, false},
      {"08/12/2026", kNoFile, false},
  };
  for (const Case& c : aCases) {
    Read read = readLines({c.szLine});
    std::uint64_t nSize = read.sizes.empty() ? kNoFile : read.sizes[0];
    if (!read.sizes.empty() && read.log.nNoSize == 1) nSize = kNoSize;
    EXPECT_EQ(nSize, c.nSize) << c.szLine;
    if (!read.sizes.empty()) {
      EXPECT_EQ(read.stamped[0], c.bStamped) << c.szLine;
    }
  }
}

// A log as found: lines before its banner, jobs appended with and without
// header and summary, one cut off: each job is checked against its own
// summary, and a job without one does not take the next job's lines.
TEST(RobocopyJobTest, EachJobIsCheckedAgainstItsOwnSummary) {
  std::string sDashes(78, '-');
  std::string sHeader =
      joined({sDashes, "   ROBOCOPY     ::     nightly", sDashes, "", "   Source : D:\\Share\\",
              "  Options : *.* /S /E /BYTES", "", sDashes, ""});
  std::string sSummary = joined(
      {"", sDashes, "", "               Total    Copied   Skipped  Mismatch    FAILED    Extras"});
  std::string sLog =
      " Log File : C:\\logs\\nightly.log\n\nTue 12/08/2026\n" + sHeader +
      // job 1: two files, its summary agrees
      "\t                   2\tD:\\Share\\\n\t    New File  \t\t     100\ta.txt\n"
      "\t    New File  \t\t     200\tb.txt\n" +
      sSummary +
      "    Dirs :         1         0         1         0         0         0\n"
      "   Files :         2         2         0         0         0         0\n"
      "   Bytes :       300       300         0         0         0         0\n"
      "   Times :   0:00:00   0:00:00                       0:00:00   0:00:00\n"
      "   Ended : Tuesday, 8 December 2026 22:00:09\n\n" +
      // job 2: cut off before its summary
      sHeader + "\t                   1\tD:\\Share\\\n\t    New File  \t\t    4000\tc.txt\n" +
      // job 3: no header; its summary agrees with it alone
      "\t                   1\tD:\\Other\\\n\t    New File  \t\t   50000\td.txt\n" + sSummary +
      "Directorios:         1         1         0         0         0         0\n"
      "   Files :         1         1         0         0         0         0\n"
      "   Bytes :     50000     50000         0         0         0         0\n" +
      // job 4: no header, a summary that disagrees
      "\t    New File  \t\t  600000\te.txt\n" +
      "    Dirs :         1         1         0         0         0         0\n"
      "   Files :         2         2         0         0         0         0\n"
      "   Bytes :    600001    600001         0         0         0         0\n"
      // jobs 5 and 6: summaries alone (/NFL /NDL)
      "    Dirs :         1         0         1         0         0         0\n"
      "   Files :         0         0         0         0         0         0\n"
      "   Bytes :         0         0         0         0         0         0\n"
      "   Times :   0:00:00   0:00:00                       0:00:00   0:00:00\n"
      "    Dirs :         1         0         1         0         0         0\n"
      "   Files :         0         0         0         0         0         0\n"
      "   Bytes :         0         0         0         0         0         0\n";
  Read read = readLines(linesOf(sLog));
  EXPECT_EQ(read.sizes, (std::vector<std::uint64_t>{100, 200, 4000, 50000, 600000}));
  EXPECT_EQ(read.folders, (std::vector<std::string>{"D:\\Share\\", "D:\\Share\\", "D:\\Share\\",
                                                    "D:\\Other\\", "D:\\Other\\"}));
  EXPECT_EQ(read.log.nJobsChecked, 5u);
  EXPECT_EQ(read.log.nStatedFiles, 5u);
  EXPECT_EQ(read.warnings,
            std::vector<std::string>{"the summaries of 1 of the log's 5 jobs state 2 files and "
                                     "600001 bytes copied or failed, but 1 files and 600000 "
                                     "bytes were counted in those jobs"});
}

// The bytes agree within what the rounded sizes allow, job by job: one
// step over is a disagreement.
TEST(RobocopyJobTest, RoundedBytesAgreeWithinTheirSlack) {
  // 1.0 m and 0.5 m, each within 0.05 m (52429 bytes): 1572864 bytes, give
  // or take 104858.
  for (std::uint64_t nStated : {1677722ull, 1677723ull, 1468006ull, 1468005ull}) {
    std::string sRow =
        "   Bytes : " + std::to_string(nStated) + " " + std::to_string(nStated) + " 0 0 0 0";
    Read read = readLines({"\t    New File  \t\t    1.0 m\ta", "\t    New File  \t\t    0.5 m\tb",
                           "   Dirs : 1 1 0 0 0 0", "   Files : 2 2 0 0 0 0", sRow});
    bool bAgrees = nStated == 1677722 || nStated == 1468006;
    EXPECT_EQ(read.log.nJobsDiffering, bAgrees ? 0u : 1u) << nStated;
  }
}

// A retry is the same file right after an error line naming it; the same
// name in another folder, or after an error for another file, is another file.
TEST(RobocopyRetryTest, CountsARetriedFileOnceAndNoOtherTwice) {
  std::vector<std::string> lines;
  for (int i = 0; i < 200; i++) {
    lines.push_back("\t  New Dir          1\tD:\\Users\\u" + std::to_string(i) + "\\");
    lines.push_back("\t    New File  \t\t     282\tdesktop.ini");
  }
  Read read = readLines(lines);
  EXPECT_EQ(read.sizes.size(), 200u);
  read = readLines({
      "\t                   3\tD:\\Data\\", "\t    New File  \t\t    9000\tbusy.db",
      "2026/12/08 22:00:05 ERROR 32 (0x00000020) Copying File D:\\Data\\busy.db",
      "The file is held open elsewhere.", "Retry in 30 s", "\t    New File  \t\t    9000\tbusy.db",
      "2026/12/08 22:00:35 FEHLER 32 (0x00000020) Datei wird kopiert D:\\Data\\busy.db",
      "\t    New File  \t\t    9000\tbusy.db",
      "2026/12/08 22:01:05 ERROR 5 (0x00000005) Copying File D:\\Data\\other.db",
      "\t    New File  \t\t    9000\tbusy.db",  // listed again, not after its error
      "\t    New File  \t\t    9000\tbusy.db", "\t  New Dir          1\tD:\\Data\\sub\\",
      "2026/12/08 22:01:05 ERROR 5 (0x00000005) Copying File D:\\Data\\busy.db",
      "\t    New File  \t\t    9000\tbusy.db",  // another folder's
      "2026/12/08 22:01:05 ERROR 5 (0x00000005) Copying File D:\\Data\\sub\\busy.db",
      "\t    New File  \t\t   12000\tbusy.db",  // another size: another folder's (/NDL)
  });
  EXPECT_EQ(read.sizes.size(), 5u);
}

// ---------------------------------------------------------------------------
// A reference check: logs generated with random jobs, options, languages,
// retries and cut-offs, read by the reader and by a second, simpler reading
// with regular expressions; both must find what the generator wrote.

struct Language {
  const char* aszCounted[3];  // a new file, a newer one, an older one (not with /XO)
  const char* aszSkipped[2];  // same, and an excluded class
  const char* szExtra;
  const char* szNewDir;
  const char* aszRows[4];  // the labels of the dirs', files', bytes' and times' rows
};

const Language kLanguages[] = {
    {{"New File", "Newer", "Older"},
     {"same", "named"},
     "*EXTRA File",
     "New Dir",
     {"Dirs :", "Files :", "Bytes :", "Times :"}},
    {{"Neue Datei", "Neuer", "\xC3\x84lter"},
     {"Identisch", "Zu alt"},
     "*EXTRA Datei",
     "Neues Verz.",
     {"Ordner:", "Dateien:", "Bytes:", "Zeiten:"}},
    // French written in code page 850 and read as 1252
    {{"Nouveau fichier",
      "Plus r\xE2\x80\x9A"
      "cent",
      "Plus ancien"},
     {"identique", "nomm\xE2\x80\x9A"},
     "*Fichier EXTRA",
     "Nouveau r\xE2\x80\x9Ap.",
     {"R\xE2\x80\x9Ap. :", "Fichiers :", "Octets :", "Heures :"}},
    // Spanish in code page 850
    {{"Nuevo archivo", "M\xA0s reciente", "M\xA0s antiguo"},
     {"igual", "peque\xA4o"},
     "*EXTRA Archivo",
     "Nuevo dir.",
     {"Directorios:", "Archivos:", "Bytes:", "Tiempos:"}},
    // Russian in code page 866
    {{"\x8D\xAE\xA2\xEB\xA9 \xE4\xA0\xA9\xAB", "\x8D\xAE\xA2\xA5\xA5", "\x91\xE2\xA0\xE0\xA5\xA5"},
     {"\xE2\xAE\xE2 \xA6\xA5", "\xA0\xE2\xE0\xA8\xA1\xE3\xE2"},
     "*EXTRA \xE4\xA0\xA9\xAB",
     "\x8D\xAE\xA2\xA0\xEF \xAF\xA0\xAF\xAA\xA0",
     {"\x8F\xA0\xAF\xAA\xA8 :", "\x94\xA0\xA9\xAB\xEB :", "\x81\xA0\xA9\xE2\xEB :",
      "\x82\xE0\xA5\xAC\xEF :"}},
    // Japanese in UTF-8, full-width colons
    {{"\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB",
      "\xE3\x82\x88\xE3\x82\x8A\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84",
      "\xE3\x82\x88\xE3\x82\x8A\xE5\x8F\xA4\xE3\x81\x84"},
     {"\xE5\x90\x8C\xE3\x81\x98", "\xE5\x90\x8D\xE5\x89\x8D\xE4\xBB\x98\xE3\x81\x8D"},
     "*EXTRA \xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB",
     "\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84 Dir",
     {"\xE3\x83\x87\xE3\x82\xA3\xE3\x83\xAC\xE3\x82\xAF\xE3\x83\x88\xE3\x83\xAA\xEF\xBC\x9A",
      "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xEF\xBC\x9A",
      "\xE3\x83\x90\xE3\x82\xA4\xE3\x83\x88\xEF\xBC\x9A", "\xE6\x99\x82\xE9\x96\x93\xEF\xBC\x9A"}},
};

// What the generator wrote: the files that count, over the whole log.
struct Truth {
  std::uint64_t nFiles = 0;
  std::uint64_t nBytes = 0;
  std::uint64_t nNoSize = 0;
  std::uint64_t nSummaries = 0;  // jobs with a whole summary
};

struct JobOptions {
  int nLanguage = 0;
  bool bHeader = true;
  bool bSummary = true;
  bool bNoSizes = false;  // /NS
  bool bStamps = false;   // /TS
  bool bBytes = true;     // /BYTES, else sizes rounded with units
  bool bFullPaths = false;
  bool bPasted = false;
  bool bExcludeOlder = false;  // /XO
  bool bProgress = false;
  bool bCut = false;        // cut off after a random line, before its summary
  bool bNoDirList = false;  // /NDL: no folder lines
  int nFolders = 1;         // 0: no folder nor file lines (/NFL /NDL)
};

class LogWriter {
 public:
  explicit LogWriter(std::uint32_t nSeed) : m_random(nSeed) {}

  // Writes a log of a few jobs; returns its lines and what counts in them.
  std::vector<std::string> write(Truth& truth) {
    std::vector<std::string> lines;
    if (chance(2)) lines.push_back(" Log File : C:\\logs\\run " + std::to_string(m_nJob) + ".log");
    if (chance(2)) lines.insert(lines.end(), {"", "Tue 12/08/2026", ""});
    int nJobs = 1 + pick(4);
    // After a job without its summary, a job without a header is told apart
    // by its folders alone: it has its header unless both jobs have folders.
    bool bOpen = false;
    bool bOpenWithoutFolders = false;
    for (int i = 0; i < nJobs; i++) {
      JobOptions job = randomJob();
      if (bOpen && (bOpenWithoutFolders || job.bNoDirList || job.nFolders == 0)) job.bHeader = true;
      bool bFolders = writeJob(job, lines, truth);
      bOpen = job.bCut || !job.bSummary;
      bOpenWithoutFolders = !bFolders;
    }
    return lines;
  }

 private:
  bool chance(int n) { return pick(n) == 0; }
  int pick(int n) { return static_cast<int>(m_random() % static_cast<std::uint32_t>(n)); }

  JobOptions randomJob() {
    JobOptions job;
    job.nLanguage = pick(static_cast<int>(sizeof kLanguages / sizeof kLanguages[0]));
    job.bHeader = !chance(3);
    job.bSummary = !chance(3);
    job.bNoSizes = chance(4);
    job.bStamps = chance(2);
    job.bBytes = !chance(3);
    job.bFullPaths = chance(4);
    // Pasted without sizes, only a date tells the class from the name.
    job.bPasted = chance(4) && (!job.bNoSizes || job.bStamps);
    job.bExcludeOlder = job.bHeader && chance(3);
    job.bProgress = chance(2);
    job.bCut = chance(5);
    job.bNoDirList = chance(5);
    job.nFolders = pick(5);
    return job;
  }

  // A size as the log writes it, and the bytes it means.
  std::string sizeText(bool bBytes, std::uint64_t& nSize) {
    if (bBytes || nSize < 1024) return std::to_string(nSize);
    int nUnit = 0;
    std::uint64_t nUnitBytes = 1024;
    while (nUnit < 3 && nSize >= nUnitBytes * 1024) {
      nUnit++;
      nUnitBytes *= 1024;
    }
    std::uint64_t nTenths = (nSize * 10 + nUnitBytes / 2) / nUnitBytes;
    nSize = (nTenths * nUnitBytes + 5) / 10;
    return std::to_string(nTenths / 10) + "." + std::to_string(nTenths % 10) + " " + "kmgt"[nUnit];
  }

  std::string fileLine(const JobOptions& job, const std::string& sClass, const std::string& sSize,
                       const std::string& sName) {
    std::string sStamp =
        job.bStamps ? "2026/11/" + std::to_string(10 + pick(20)) + " 08:30:00" : "";
    if (job.bPasted) {
      std::string s = "          " + sClass + "        ";
      if (!job.bNoSizes) s += sSize + "    ";
      if (job.bStamps) s += sStamp + "    ";
      return s + sName;
    }
    std::string s = "\t    " + sClass + "  \t\t";
    if (!job.bNoSizes) s += "    " + sSize + "\t";
    if (job.bStamps) s += sStamp + "\t";
    return s + sName;
  }

  // Writes a job; returns whether a folder line of it was kept.
  bool writeJob(const JobOptions& job, std::vector<std::string>& lines, Truth& truth) {
    const Language& language = kLanguages[job.nLanguage];
    std::string sDashes(78, '-');
    m_nJob++;
    if (job.bHeader) {
      lines.insert(lines.end(), {sDashes, "   ROBOCOPY     ::     job " + std::to_string(m_nJob),
                                 sDashes, "", "   Source : D:\\Share\\", "     Dest : E:\\Copy\\",
                                 "", "    Files : *.*", "\t    *.doc", ""});
      std::string sOptions = "  Options : *.* /S /E";
      if (job.bNoSizes) sOptions += " /NS";
      if (job.bStamps) sOptions += " /TS";
      if (job.bBytes) sOptions += " /BYTES";
      if (job.bFullPaths) sOptions += " /FP";
      if (job.bExcludeOlder) sOptions += " /XO /V";
      lines.insert(lines.end(), {sOptions, "", sDashes, ""});
    }
    std::size_t nBodyStart = lines.size();
    std::uint64_t anFiles[3] = {};  // copied, skipped, failed
    std::uint64_t anBytes[3] = {};
    std::uint64_t nExtras = 0;
    std::vector<Truth> lineTruth;  // what each line of the body adds
    std::size_t nFolderLines = 0;  // the lines of the body up to its first folder line
    auto add = [&](const std::string& line, const Truth& t) {
      lines.push_back(line);
      lineTruth.push_back(t);
    };
    // "\x95\\" is a name of code page 932 whose last byte is a backslash.
    static const char* const kNames[] = {"desktop.ini", "t notes",     "m",     "2019 report.doc",
                                         "a.txt",       "photo 1.jpg", "\x95\\"};
    for (int nFolder = 0; nFolder < job.nFolders; nFolder++) {
      // The job's source first, then folders in it.
      std::string sFolder = "D:\\Job" + std::to_string(m_nJob) + "\\";
      if (nFolder > 0) sFolder += "f" + std::to_string(nFolder) + "\\";
      std::string sCount = std::to_string(pick(9));
      if (!job.bNoDirList) {
        if (nFolderLines == 0) nFolderLines = lineTruth.size() + 1;
        add(job.bPasted
                ? "          " + std::string(language.szNewDir) + "      " + sCount + "    " +
                      sFolder
                : "\t  " + std::string(language.szNewDir) + "          " + sCount + "\t" + sFolder,
            Truth());
      }
      // Names differ within a folder, and recur in other folders.
      std::vector<std::string> names(std::begin(kNames), std::end(kNames));
      std::shuffle(names.begin(), names.end(), m_random);
      int nFiles = pick(6);
      for (int nFile = 0; nFile < nFiles; nFile++) {
        std::string sName = names[static_cast<std::size_t>(nFile)];
        bool bBackslash = sName.back() == '\\';
        if (bBackslash && job.bFullPaths) sName = "x.bin";  // a full path's end is a folder's
        if (job.bFullPaths) sName = sFolder + sName;
        std::uint64_t nSize =
            static_cast<std::uint64_t>(pick(3) == 0 ? pick(5000) : pick(2000000000));
        std::string sSize = sizeText(job.bBytes, nSize);
        // A new file, a newer one, an older one (skipped with /XO), a class
        // skipped, an extra file.
        int nWhat = pick(10);
        int nCounted = nWhat < 6 ? nWhat / 2 : -1;
        Truth t;
        if (nWhat == 6 || nWhat == 7 || (nCounted == 2 && job.bExcludeOlder)) {
          const char* szClass =
              nCounted == 2 ? language.aszCounted[2] : language.aszSkipped[nWhat - 6];
          add(fileLine(job, szClass, sSize, sName), t);
          anFiles[1]++;
          anBytes[1] += nSize;
          continue;
        }
        if (nCounted < 0) {
          add(fileLine(job, language.szExtra, sSize, sName), t);
          nExtras++;
          continue;
        }
        t.nFiles = 1;
        if (job.bNoSizes) {
          t.nNoSize = 1;
        } else {
          t.nBytes = nSize;
        }
        std::string sLine = fileLine(job, language.aszCounted[nCounted], sSize, sName);
        if (job.bProgress && chance(2)) sLine += "\r  0%  \r100%  ";
        add(job.bProgress && chance(3) ? "  0%  \r100%  \r" + sLine : sLine, t);
        if (job.bProgress && chance(2)) add(chance(2) ? "  0%  " : "100%  \r", Truth());
        // Retries: an error line for the file, its message, the line again.
        int nRetries = chance(4) && !bBackslash ? 1 + pick(3) : 0;
        bool bFailed = nRetries > 0 && chance(2);
        for (int nRetry = 0; nRetry < nRetries; nRetry++) {
          std::string sPath = job.bFullPaths ? sName : sFolder + sName;
          add("2026/12/08 22:00:0" + std::to_string(nRetry) +
                  " ERROR 32 (0x00000020) Copying File " + sPath,
              Truth());
          add("The file is held open elsewhere.", Truth());
          add("Retry in 1 s", Truth());
          if (nRetry + 1 < nRetries || !bFailed) add(sLine, Truth());
        }
        anFiles[bFailed ? 2 : 0]++;
        anBytes[bFailed ? 2 : 0] += nSize;
      }
    }
    if (job.bCut) {
      // Cut off after a line of the body: only the lines before count.
      std::size_t nKeep = static_cast<std::size_t>(pick(static_cast<int>(lineTruth.size()) + 1));
      lines.resize(nBodyStart + nKeep);
      lineTruth.resize(nKeep);
    }
    bool bFolders = nFolderLines > 0 && nFolderLines <= lineTruth.size();
    for (const Truth& t : lineTruth) {
      truth.nFiles += t.nFiles;
      truth.nBytes += t.nBytes;
      truth.nNoSize += t.nNoSize;
    }
    if (job.bCut || !job.bSummary) return bFolders;
    truth.nSummaries++;
    auto row = [&](int nRow, std::uint64_t anValues[3], std::uint64_t nExtra, bool bBytes) {
      std::uint64_t nTotal = anValues[0] + anValues[1] + anValues[2];
      std::string s = std::string("   ") + language.aszRows[nRow];
      for (std::uint64_t n :
           {nTotal, anValues[0], anValues[1], std::uint64_t{0}, anValues[2], nExtra}) {
        std::string sValue = std::to_string(n);
        if (bBytes && !job.bBytes && n >= 1024 * 1024) {
          char sz[32];
          std::snprintf(sz, sizeof sz, "%.2f m", static_cast<double>(n) / 1048576.0);
          sValue = sz;
        }
        s += "    " + sValue;
      }
      lines.push_back(s);
    };
    lines.insert(lines.end(),
                 {"", sDashes, "",
                  "               Total    Copied   Skipped  Mismatch    FAILED    Extras"});
    std::uint64_t anDirs[3] = {static_cast<std::uint64_t>(job.nFolders), 0, 0};
    row(0, anDirs, 0, false);
    row(1, anFiles, nExtras, false);
    row(2, anBytes, 0, true);
    lines.push_back(std::string("   ") + language.aszRows[3] +
                    "   0:00:00   0:00:00        0:00:00   0:00:00");
    lines.insert(lines.end(), {"", "   Speed :           123456789 Bytes/sec.",
                               "   Ended : 8 December 2026 22:00:09", ""});
    return bFolders;
  }

  std::mt19937 m_random;
  int m_nJob = 0;
};

// The second reading: a few regular expressions for the shapes the writer
// uses (a class holds no digit), and the classes of kLanguages.
Truth readByPatterns(const std::vector<std::string>& lines) {
  static const std::regex kProgress(R"(^(\s*\d+(\.\d+)?%\s*\r)*)");
  static const std::string kStamp = R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)";
  static const std::string kSize = R"(\d+(?:\.\d [kmgt])?)";
  static const std::regex kTabbed("^\\t *([^\\t]*?) *\\t\\t(?: *(" + kSize + ")\\t)?(?:(" + kStamp +
                                  ")\\t)?([^\\t\\r]+)(\\r[\\s\\S]*)?$");
  static const std::regex kPasted("^ +([^\\s\\d][^\\d]*?) +(" + kSize + ") +(?:(" + kStamp +
                                  ") +)?(\\S[^\\r]*?)(\\r[\\s\\S]*)?$");
  static const std::regex kPastedStamped("^ +([^\\s\\d][^\\d]*?) +()(" + kStamp +
                                         ") +(\\S[^\\r]*?)(\\r[\\s\\S]*)?$");
  static const std::regex kError(
      R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d \S+ \d+ \(0x[0-9A-F]{8}\) .*\\([^\\]+)$)");
  Truth truth;
  bool bExcludeOlder = false;
  std::string sJob;   // the number of the job being read
  std::string sLast;  // the last file counted: its name and its size
  std::string sLastSize;
  bool bRetry = false;
  for (const std::string& sLine : lines) {
    std::string s =
        std::regex_replace(sLine, kProgress, "", std::regex_constants::format_first_only);
    std::smatch m;
    // A job's options hold from its banner to the end of its summary.
    static const std::regex kBanner(R"(\s+ROBOCOPY\s+::\s+job (\d+))");
    if (std::regex_match(s, m, kBanner)) sJob = m[1];
    if (s.find("ROBOCOPY") != std::string::npos || s.find("Ended :") != std::string::npos) {
      bExcludeOlder = false;
    }
    if (s.find("Options :") != std::string::npos)
      bExcludeOlder = s.find("/XO") != std::string::npos;
    bool bFolder = !s.empty() && s.back() == '\\' &&
                   (s.size() < 2 || static_cast<unsigned char>(s[s.size() - 2]) < 0x80);
    if (bFolder) {  // a retry is in the same folder
      bRetry = false;
      // Another job's source, without a banner: that job's options.
      static const std::regex kSource(R"([\s\S]*D:\\Job(\d+)\\$)");
      std::smatch source;
      if (std::regex_match(s, source, kSource) && source[1] != sJob) {
        sJob = source[1];
        bExcludeOlder = false;
      }
      continue;
    }
    if (std::regex_match(s, m, kError)) {
      std::string sName = sLast.substr(sLast.find_last_of('\\') + 1);
      bRetry = m[1] == sName;
      continue;
    }
    if (s.substr(0, s.find_first_of("\t0123456789")).find(':') != std::string::npos) continue;
    if (!std::regex_match(s, m, kTabbed) && !std::regex_match(s, m, kPasted) &&
        !std::regex_match(s, m, kPastedStamped)) {
      continue;
    }
    std::string sClass = m[1];
    std::string sName = m[4];
    while (!sName.empty() && sName.back() == ' ') sName.pop_back();
    bool bRetried = bRetry && sName == sLast && m[2] == sLastSize;
    bRetry = false;
    if (bRetried) continue;
    bool bCounts = false;
    for (const Language& language : kLanguages) {
      for (int i = 0; i < 3; i++) {
        if (sClass == language.aszCounted[i]) bCounts = i < 2 || !bExcludeOlder;
      }
    }
    if (!bCounts) continue;
    sLast = sName;
    sLastSize = m[2];
    truth.nFiles++;
    if (m[2].length() == 0) {
      truth.nNoSize++;
      continue;
    }
    std::string sSize = m[2];
    std::size_t nDot = sSize.find('.');
    if (nDot == std::string::npos) {
      truth.nBytes += std::stoull(sSize);
      continue;
    }
    std::uint64_t nUnit = 1024ull << (10 * std::string("kmgt").find(sSize.back()));
    std::uint64_t nTenths =
        std::stoull(sSize.substr(0, nDot)) * 10 + static_cast<unsigned>(sSize[nDot + 1] - '0');
    truth.nBytes += (nTenths * nUnit + 5) / 10;
  }
  return truth;
}

TEST(RobocopyReferenceTest, GeneratedLogsAreReadAsWritten) {
  for (std::uint32_t nSeed = 1; nSeed <= 400; nSeed++) {
    LogWriter writer(nSeed);
    Truth truth;
    std::vector<std::string> lines = writer.write(truth);
    Read read = readLines(lines);
    Truth second = readByPatterns(lines);
    std::string sWhere = "seed " + std::to_string(nSeed) + ":\n" + joined(lines);
    ASSERT_EQ(second.nFiles, truth.nFiles) << sWhere;
    ASSERT_EQ(second.nBytes, truth.nBytes) << sWhere;
    ASSERT_EQ(read.log.nFiles, truth.nFiles) << sWhere;
    ASSERT_EQ(read.log.nBytes, truth.nBytes) << sWhere;
    ASSERT_EQ(read.log.nNoSize, truth.nNoSize) << sWhere;
    ASSERT_EQ(read.log.nJobsChecked, truth.nSummaries) << sWhere;
    ASSERT_EQ(read.log.nJobsDiffering, 0u) << sWhere;
    ASSERT_EQ(read.log.nUnknownUnchecked, 0u) << sWhere;
  }
}

}  // namespace
