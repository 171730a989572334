// The line-shaped lists of other tools: rclone, the object stores' clients,
// find, tar and dwalk. Each table feeds a listing's lines as the reader hands
// them out and checks every size counted, the folders, and what is noted.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "sources/bucketlisting.h"
#include "sources/kindtext.h"
#include "sources/listingkind.h"
#include "sources/rclonelisting.h"
#include "sources/text.h"
#include "sources/unixlisting.h"

namespace {

const CivilDate kToday = {2026, 12, 9};

// A line as the reader hands it out: kPieceSlack readable bytes after its NUL.
std::string padded(const std::string& line) { return line + std::string(kPieceSlack, '\0'); }

// What a listing gave: each entry's size, type and folder.
struct Counted {
  std::vector<std::uint64_t> sizes;
  std::vector<int> types;
  std::vector<std::string> folders;
  std::vector<LineStamp> stamps;
};

// A folder as the tables write it: "./a/b/" as "a/b", "." as "".
std::string shortFolder(const Entry& entry) {
  std::string folder = entry.pFolder == nullptr ? "" : std::string(entry.pFolder, entry.nFolder);
  if (folder.compare(0, 2, "./") == 0) folder.erase(0, 2);
  if (folder == ".") folder.clear();
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder;
}

void take(Counted& counted, const Entry& entry) {
  counted.sizes.push_back(entry.nSize);
  counted.types.push_back(entry.nType);
  counted.folders.push_back(shortFolder(entry));
  counted.stamps.push_back(entry.stamp);
}

// The lines padded, and the arrays the learning functions take.
struct Lines {
  std::vector<std::string> texts;
  std::vector<const char*> pointers;
  std::vector<std::size_t> lengths;
  explicit Lines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) texts.push_back(padded(line));
    for (std::size_t i = 0; i < lines.size(); i++) {
      pointers.push_back(texts[i].c_str());
      lengths.push_back(lines[i].size());
    }
  }
  int count() const { return static_cast<int>(texts.size()); }
};

Counted readRclone(RcloneListing& rclone, const std::vector<std::string>& lines) {
  startRclone(rclone);
  Lines held(lines);
  learnRcloneLayout(rclone, held.pointers.data(), held.lengths.data(), held.count());
  Counted counted;
  for (int i = 0; i < held.count(); i++) {
    Entry entry;
    if (readRcloneLine(rclone, held.pointers[i], held.lengths[i], entry)) take(counted, entry);
  }
  return counted;
}

Counted readBucket(BucketListing& bucket, int nClient, const std::vector<std::string>& lines) {
  startBucket(bucket, nClient);
  Counted counted;
  for (const std::string& line : lines) {
    std::string text = padded(line);
    Entry entry;
    if (readBucketLine(bucket, text.c_str(), line.size(), entry)) take(counted, entry);
  }
  return counted;
}

// With bForget, what a line leaves to spare the next one work (the column
// its date began at, its mode) is forgotten before each line.
Counted readUnix(UnixListing& listing, int nTool, const std::vector<std::string>& lines,
                 bool bForget = false) {
  startUnix(listing, nTool, kToday);
  Lines held(lines);
  if (nTool == kUnixFind)
    learnFindLayout(listing, held.pointers.data(), held.lengths.data(), held.count());
  Counted counted;
  Entry entry;
  for (int i = 0; i < held.count(); i++) {
    if (bForget) {
      listing.nDateColumn = 0;
      listing.nLastMode = 0;
    }
    entry = Entry();
    if (readUnixLine(listing, held.pointers[i], held.lengths[i], entry)) take(counted, entry);
  }
  entry = Entry();
  if (finishUnix(listing, entry)) take(counted, entry);
  return counted;
}

using Sizes = std::vector<std::uint64_t>;
using Folders = std::vector<std::string>;

// Every layout of rclone: the same four files and a folder, sizes at the
// bounds (2^63 - 1 is the largest a file has; past it the line is none).
TEST(RcloneTest, ReadsEveryLayoutWithTheBoundsOfASize) {
  struct Case {
    const char* szWhat;
    std::vector<std::string> lines;
    Sizes sizes;
    Folders folders;
    std::uint64_t nUnread;
  };
  const Sizes kFour = {0, 1, 4294967295u, 9223372036854775807u};
  const Folders kFolders = {"", "a", "a/b c", "a;b"};
  const std::vector<Case> aCases = {
      {"ls",
       {"        0 zero", "        1 a/one", "4294967295 a/b c/max32",
        "9223372036854775807 a;b/max63", "18446744073709551615 a/max64",
        "18446744073709551616 a/past64"},
       kFour,
       kFolders,
       2},
      {"lsl",
       {"        0 2026-11-30 08:09:10.000000000 zero",
        "        1 2026-11-30 08:09:10.123456789 a/one",
        "4294967295 2026-11-30 08:09:10.000000000 a/b c/max32",
        "9223372036854775807 2026-11-30 08:09:10.000000000 a;b/max63"},
       kFour,
       kFolders,
       0},
      {"lsf tsp, a path that holds the separator",
       {"2026-11-30 08:09:10;-1;a/", "2026-11-30 08:09:10;0;zero", "2026-11-30 08:09:10;1;a/one",
        "2026-11-30 08:09:10;4294967295;a/b c/max32",
        "2026-11-30 08:09:10;9223372036854775807;a;b/max63"},
       kFour,
       kFolders,
       0},
      {"lsf pst",
       {"a/;-1;2026-11-30 08:09:10", "zero;0;2026-11-30 08:09:10", "a/one;1;2026-11-30 08:09:10",
        "a/b c/max32;4294967295;2026-11-30 08:09:10",
        "a;b/max63;9223372036854775807;2026-11-30 08:09:10"},
       kFour,
       kFolders,
       0},
      {"lsf sp",
       {"-1;a/", "0;zero", "1;a/one", "4294967295;a/b c/max32", "9223372036854775807;a;b/max63"},
       kFour,
       kFolders,
       0},
      {"lsf --csv, quoted",
       {"a/,-1,2026-11-30 08:09:10", "zero,0,2026-11-30 08:09:10", "a/one,1,2026-11-30 08:09:10",
        "\"a/b c/max32\",4294967295,2026-11-30 08:09:10",
        "\"a;b/max63\",9223372036854775807,2026-11-30 08:09:10",
        "\"a/q\"\"uote,d\",5,2026-11-30 08:09:10"},
       {0, 1, 4294967295u, 9223372036854775807u, 5},
       {"", "a", "a/b c", "a;b", "a"},
       0},
      {"lsf --separator ' | '",
       {"-1 | a/", "0 | zero", "1 | a/one", "4294967295 | a/b c/max32",
        "9223372036854775807 | a;b/max63"},
       kFour,
       kFolders,
       0},
      {"lsf --separator tab, time last",
       {"-1\ta/\t2026-11-30 08:09:10", "0\tzero\t2026-11-30 08:09:10",
        "1\ta/one\t2026-11-30 08:09:10", "4294967295\ta/b c/max32\t2026-11-30 08:09:10",
        "9223372036854775807\ta;b/max63\t2026-11-30 08:09:10"},
       kFour,
       kFolders,
       0},
  };
  for (const Case& c : aCases) {
    RcloneListing rclone;
    Counted counted = readRclone(rclone, c.lines);
    EXPECT_EQ(counted.sizes, c.sizes) << c.szWhat;
    EXPECT_EQ(counted.folders, c.folders) << c.szWhat;
    EXPECT_EQ(rclone.nUnread, c.nUnread) << c.szWhat;
    EXPECT_EQ(rclone.nRounded, 0u) << c.szWhat;
    EXPECT_EQ(rclone.nFiles, c.sizes.size()) << c.szWhat;
  }
}

// --human-readable: sizes below 1 KiB are bytes, the rest powers of 1,024;
// those with a fraction are rounded and noted, whole ones are exact.
TEST(RcloneTest, CountsHumanSizesAsRounded) {
  RcloneListing rclone;
  Counted counted =
      readRclone(rclone, {"     1023 a", "  5.000Ki b", "    1.431Mi c", "      4Gi d",
                          "       1Ki e", "2026/12/09 07:26:40 NOTICE: x: Can't follow symlink"});
  EXPECT_EQ(counted.sizes, (Sizes{1023, 5120, 1500512, 4294967296u, 1024}));
  EXPECT_EQ(rclone.nRounded, 2u);
  EXPECT_EQ(rclone.nSkipped + rclone.nErrors, 1u);
}

// rclone size appended: its totals are checked to the byte and object.
TEST(RcloneTest, ChecksTheTotalsOfRcloneSize) {
  for (std::uint64_t nStated : {5120u, 5119u, 5121u}) {
    RcloneListing rclone;
    readRclone(rclone, {"     5119 a", "        1 b", "Total objects: 2 (2)",
                        "Total size: 5 KiB (" + std::to_string(nStated) + " Byte)"});
    EXPECT_TRUE(rclone.bStatedBytes);
    EXPECT_EQ(rclone.nStatedFiles, 2u);
    EXPECT_EQ(rclone.nStatedBytes == rclone.nBytes, nStated == 5120u) << nStated;
  }
}

// The object stores: sizes at the bounds, folder markers, units.
TEST(BucketTest, ReadsEachClientsLinesWithTheBoundsOfASize) {
  struct Case {
    const char* szWhat;
    int nClient;
    std::vector<std::string> lines;
    Sizes sizes;
    Folders folders;
    std::uint64_t nRounded;
    std::uint64_t nFolders;
  };
  const std::vector<Case> aCases = {
      {"aws s3 ls",
       {kBucketS3},
       {"2026-12-07 22:01:02          0 a/", "2026-12-07 22:01:02          0 a/zero",
        "2026-12-07 22:01:02          1 a/b c/one", "2026-12-07 22:01:02 4294967295 max32",
        "2026-12-07 22:01:02 9223372036854775807 max63",
        "2026-12-07 22:01:02 9223372036854775808 past63", "                           PRE old/"},
       {0, 1, 4294967295u, 9223372036854775807u},
       {"a", "a/b c", "", ""},
       0,
       2},
      {"aws s3 ls --human-readable",
       {kBucketS3},
       {"2026-12-07 22:01:02    0 Bytes a/", "2026-12-07 22:01:02    1 Bytes one",
        "2026-12-07 22:01:02    5.0 KiB five", "2026-12-07 22:01:02   11.1 MiB clip",
        "2026-12-07 22:01:02    4.0 GiB disk"},
       {1, 5120, 11639194, 4294967296u},
       {"", "", "", ""},
       3,
       1},
      {"mc ls -r",
       {kBucketMc},
       {"[2026-12-07 22:01:02 UTC]     0B STANDARD a/",
        "[2026-12-07 22:01:02 UTC]     1B STANDARD a/one",
        "[2026-12-07 22:01:02 UTC] 5.0KiB STANDARD a b/five",
        "[2026-12-07 22:01:02 UTC] 4.0GiB STANDARD disk"},
       {1, 5120, 4294967296u},
       {"a", "a b", ""},
       2,
       1},
      {"gsutil ls -l",
       {kBucketGsutil},
       {"         0  2026-12-07T22:01:02Z  gs://b/a/",
        "         1  2026-12-07T22:01:02Z  gs://b/a/one",
        "4294967295  2026-12-07T22:01:02Z  gs://b/a/b c/max32",
        "9223372036854775807  2026-12-07T22:01:02Z  gs://b/max63"},
       {1, 4294967295u, 9223372036854775807u},
       {"gs://b/a", "gs://b/a/b c", "gs://b"},
       0,
       1},
      {"azcopy list",
       {kBucketAzcopy},
       {"INFO: a/one;  Content Length: 1", "INFO: a;b.txt;  Content Length: 4294967295",
        "INFO: c/five;  Content Length: 5.00 KiB", "INFO: old;  Content Size: 1.50 MiB",
        "INFO: max;  Content Length: 9223372036854775807"},
       {1, 4294967295u, 5120, 1572864, 9223372036854775807u},
       {"a", "", "c", "", ""},
       2,
       0},
  };
  for (const Case& c : aCases) {
    BucketListing bucket;
    Counted counted = readBucket(bucket, c.nClient, c.lines);
    EXPECT_EQ(counted.sizes, c.sizes) << c.szWhat;
    EXPECT_EQ(counted.folders, c.folders) << c.szWhat;
    EXPECT_EQ(bucket.nRounded, c.nRounded) << c.szWhat;
    EXPECT_EQ(bucket.nFolders, c.nFolders) << c.szWhat;
  }
}

// --summarize, gsutil's TOTAL and azcopy's tally: off by one object or one
// byte is a difference; rounded totals are allowed their rounding.
TEST(BucketTest, ChecksTheStatedTotalsToTheByte) {
  struct Case {
    int nClient;
    std::vector<std::string> lines;
    bool bDiffer;
  };
  const std::string kS3a = "2026-12-07 22:01:02       5119 a";
  const std::string kS3b = "2026-12-07 22:01:02          1 b/";  // a marker: listed, not counted
  const std::vector<Case> aCases = {
      {kBucketS3, {kS3a, kS3b, "", "Total Objects: 2", "   Total Size: 5120"}, false},
      {kBucketS3, {kS3a, kS3b, "", "Total Objects: 2", "   Total Size: 5121"}, true},
      {kBucketS3, {kS3a, kS3b, "", "Total Objects: 2", "   Total Size: 5119"}, true},
      {kBucketS3, {kS3a, kS3b, "", "Total Objects: 3", "   Total Size: 5120"}, true},
      {kBucketS3, {kS3a, kS3b, "", "Total Objects: 1", "   Total Size: 5120"}, true},
      {kBucketS3,
       {"2026-12-07 22:01:02    5.0 KiB a", "Total Objects: 1", "   Total Size: 5.0 KiB"},
       false},
      {kBucketGsutil,
       {"      5120  2026-12-07T22:01:02Z  gs://b/a", "TOTAL: 1 objects, 5120 bytes (5 KiB)"},
       false},
      {kBucketGsutil,
       {"      5120  2026-12-07T22:01:02Z  gs://b/a", "TOTAL: 1 objects, 5121 bytes (5 KiB)"},
       true},
      {kBucketAzcopy,
       {"INFO: a;  Content Length: 5120", "", "File count: 1", "Total file size: 5120"},
       false},
      {kBucketAzcopy,
       {"INFO: a;  Content Length: 5120", "", "File count: 2", "Total file size: 5120"},
       true},
  };
  for (const Case& c : aCases) {
    BucketListing bucket;
    readBucket(bucket, c.nClient, c.lines);
    EXPECT_EQ(bucketTotalsDiffer(bucket), c.bDiffer) << c.lines.back();
  }
}

// The lines that the common shapes' quick readings leave to the full ones:
// other zones and storage classes, URLs that hold an exception or a
// generation, times after the size. Each is read as before.
TEST(BucketTest, ReadsTheRarerShapesOfEachClientsLines) {
  struct Case {
    const char* szWhat;
    int nClient;
    std::vector<std::string> lines;
    Sizes sizes;
    Folders folders;
    std::vector<int> seconds;  // of each entry's time, -1 for none
    std::uint64_t nErrors;
    std::uint64_t nPrefixes;
  };
  const std::vector<Case> aCases = {
      {"mc ls -r",
       kBucketMc,
       {"[2026-12-07 22:01:02 CET]   5B STANDARD_IA a/x",
        "[2026-12-07 22:01:02 UTC] 6B STANDARDX b/y", "[2026-12-07 22:01:03 UTC] 7B STANDARD",
        "[2026-12-07 22:01:02 UTC] 0B pre/", "[2026-12-07 22:01:02 UTC] 8B GLACIER c/STANDARD z",
        "[2026-12-07 22:01:02 UTC+1] 9B STANDARD d/w", "mc: <ERROR> Unable to list"},
       {5, 6, 7, 8, 9},
       {"a", "b", "", "c", "d"},
       {79262, 79262, 79263, 79262, 79262},
       1,
       1},
      {"gsutil ls -l",
       kBucketGsutil,
       {"         5  2026-12-07T22:01:02Z  gs://b/E/x",
        "         6  2026-12-07T22:01:02Z  gs://b/a b/y",
        "         7  2026-12-07T22:01:02Z  gs://b/c#17  metageneration=2",
        "         8  2026-12-07T22:01:02Z  gs://b/d/Exception: z",
        "  5.0 KiB  2026-12-07T22:01:04Z  gs://b/k"},
       {5, 6, 7, 5120},
       {"gs://b/E", "gs://b/a b", "gs://b", "gs://b"},
       {79262, 79262, 79262, 79264},
       1,
       0},
      {"azcopy list",
       kBucketAzcopy,
       {"INFO: a;  Content Length: 5 B;  LastModifiedTime: 2026-12-07 22:01:05",
        "INFO: b/c;  LastModifiedTime: 2026-12-07 22:01:06;  Content Length: 6",
        "Fancy/d;  Content Length: 7", "INFO: e;  Content Length: 8 B", "failed to list",
        "File count: 4"},
       {5, 6, 7, 8},
       {"", "b", "Fancy", ""},
       {79265, 79266, -1, -1},
       1,
       0},
  };
  for (const Case& c : aCases) {
    BucketListing bucket;
    Counted counted = readBucket(bucket, c.nClient, c.lines);
    EXPECT_EQ(counted.sizes, c.sizes) << c.szWhat;
    EXPECT_EQ(counted.folders, c.folders) << c.szWhat;
    std::vector<int> seconds;
    for (const LineStamp& stamp : counted.stamps)
      seconds.push_back(stamp.bHasTime ? stamp.nSecondOfDay : -1);
    EXPECT_EQ(seconds, c.seconds) << c.szWhat;
    EXPECT_EQ(bucket.nErrors, c.nErrors) << c.szWhat;
    EXPECT_EQ(bucket.nPrefixes, c.nPrefixes) << c.szWhat;
  }
}

// One object line of a client, read alone: whether it counted, its entry,
// and the rounding the listing noted of it.
struct OneLine {
  bool bCounted = false;
  Entry entry;
  std::uint64_t nSlack = 0;
  std::uint64_t nRounded = 0;
};

OneLine readOneBucketLine(int nClient, const std::string& line) {
  BucketListing bucket;
  startBucket(bucket, nClient);
  std::string text = padded(line);
  OneLine one;
  one.bCounted = readBucketLine(bucket, text.c_str(), line.size(), one.entry);
  one.nSlack = bucket.nSlack;
  one.nRounded = bucket.nRounded;
  return one;
}

// The date and time of mc and gsutil lines are read at fixed places, all
// checked at once: every byte value at each of their nineteen places, on
// stamps at the bounds of each field, is taken or refused as readYearFirstDate
// and readClock take or refuse it, with the same date and second.
TEST(BucketTest, ReadsStampsAsTheDateAndClockReadersDo) {
  const char* const aszStamps[] = {"2024-02-29 23:59:60", "0001-12-31 00:00:00",
                                   "2026-04-30 09:05:59", "9999-11-30 19:49:09"};
  const struct {
    int nClient;
    char cSeparator;
    const char* szBefore;
    const char* szAfter;
  } aClients[] = {{kBucketMc, ' ', "[", " UTC]     5B STANDARD k"},
                  {kBucketGsutil, 'T', "         5  ", "Z  gs://b/k"}};
  int nTaken = 0;
  for (const auto& client : aClients) {
    for (const char* szStamp : aszStamps) {
      for (int i = 0; i < 19; i++) {
        for (int c = 1; c < 256; c++) {
          std::string stamp = szStamp;
          if (stamp[10] == ' ') stamp[10] = client.cSeparator;
          stamp[i] = static_cast<char>(c);
          int nYear = 0;
          int nMonth = 0;
          int nDay = 0;
          int nSecond = 0;
          bool bValid = readYearFirstDate(stamp.c_str(), '-', nYear, nMonth, nDay) &&
                        stamp[10] == client.cSeparator && stamp[13] == ':' && stamp[16] == ':' &&
                        readClock(stamp.c_str() + 11, stamp.c_str() + 19, nSecond);
          OneLine one = readOneBucketLine(client.nClient, client.szBefore + stamp + client.szAfter);
          ASSERT_EQ(one.bCounted, bValid) << stamp;
          if (!bValid) continue;
          nTaken++;
          LineStamp expected;
          setYearFirstStamp(expected, nYear, nMonth, nDay, nSecond);
          EXPECT_EQ(one.entry.stamp.nField1, expected.nField1) << stamp;
          EXPECT_EQ(one.entry.stamp.nField2, expected.nField2) << stamp;
          EXPECT_EQ(one.entry.stamp.nField3, expected.nField3) << stamp;
          EXPECT_EQ(one.entry.stamp.nSecondOfDay, expected.nSecondOfDay) << stamp;
        }
      }
    }
  }
  EXPECT_GT(nTaken, 2 * 4 * 19 * 2);  // each place took more than its own digit
}

// Sizes with a unit are read in whole numbers for the units the clients
// mostly write: every number of up to three decimals around the places
// where rounding turns, in every unit, gives the bytes and the rounding
// readUnitSize gives (attached for mc, as the next field for azcopy).
TEST(BucketTest, ReadsSizesWithAUnitAsReadUnitSizeDoes) {
  const char* const aszWholes[] = {"0",
                                   "1",
                                   "2",
                                   "9",
                                   "99",
                                   "511",
                                   "1023",
                                   "4095",
                                   "999999",
                                   "1024",
                                   "12345678",
                                   "123456789",
                                   "1099511627775",
                                   "16777216",
                                   "999999999999999",
                                   "1000000000000000"};
  const char* const aszUnits[] = {"B",  "KB",  "kB", "KiB",   "kiB",  "MB",  "MiB",
                                  "GB", "GiB", "TB", "TiB",   "PB",   "PiB", "EiB",
                                  "K",  "Ki",  "M",  "Bytes", "KiBs", "Kb",  "iB"};
  // Every fraction of one to three decimals after a few wholes; every
  // seventh after the others, and a sample of four decimals.
  std::vector<std::string> numbers;
  for (const char* szWhole : aszWholes) {
    numbers.push_back(szWhole);
    bool bEvery = std::strlen(szWhole) <= 4;
    for (int nDecimals = 1; nDecimals <= 4; nDecimals++) {
      int nEnd = nDecimals == 4 ? 10000 : (nDecimals == 1 ? 10 : nDecimals == 2 ? 100 : 1000);
      int nStep = nDecimals == 4 ? 499 : (bEvery ? 1 : 7);
      for (int f = 0; f < nEnd; f += nStep) {
        char szFraction[16];
        std::snprintf(szFraction, sizeof szFraction, "%0*d", nDecimals, f);
        numbers.push_back(std::string(szWhole) + "." + szFraction);
      }
    }
  }
  numbers.push_back("2.5");
  numbers.push_back("1.");
  numbers.push_back("1.2.3");
  for (const std::string& number : numbers) {
    bool bPoint = number.find('.') != std::string::npos;
    for (const char* szUnit : aszUnits) {
      std::string unit = szUnit;
      const char* pNumber = number.c_str();
      const char* pUnit = unit.c_str();
      for (int nClient : {kBucketMc, kBucketAzcopy}) {
        unsigned nBase = nClient == kBucketMc ? 1024 : 1000;
        std::uint64_t nBytes = 0;
        std::uint64_t nSlack = 0;
        bool bRead = readUnitSize(pNumber, pNumber + number.size(), pUnit, pUnit + unit.size(),
                                  nBase, nBytes, nSlack);
        bool bUnit = bRead;
        // A whole number before a word that is no unit, or a size too large,
        // is azcopy's number of bytes, the word left aside.
        if (nClient == kBucketAzcopy && !bPoint &&
            (!bRead || !(isSizeUnitWord(pUnit, pUnit + unit.size()) || unit == "B"))) {
          bUnit = false;
          bRead = readPlainNumber(pNumber, pNumber + number.size(), nBytes);
          nSlack = 0;
        }
        std::string line = nClient == kBucketMc
                               ? "[2026-12-07 22:01:02 UTC] " + number + unit + " STANDARD k"
                               : "INFO: k;  Content Length: " + number + " " + unit;
        OneLine one = readOneBucketLine(nClient, line);
        ASSERT_EQ(one.bCounted, bRead) << line;
        if (!bRead) continue;
        EXPECT_EQ(one.entry.nSize, nBytes) << line;
        EXPECT_EQ(one.nSlack, nSlack) << line;
        EXPECT_EQ(one.nRounded, bUnit && nSlack > 0 ? 1u : 0u) << line;
      }
    }
  }
}

// find -ls, tar -tv (GNU and BSD) and dwalk: what counts and as how much.
TEST(UnixTest, CountsFilesLinksDevicesAndHardLinksAsTheScanDoes) {
  struct Case {
    const char* szWhat;
    int nTool;
    std::vector<std::string> lines;
    Sizes sizes;
    Folders folders;
  };
  const std::vector<Case> aCases = {
      {"find -ls",
       kUnixFind,
       {"  11      4 drwxr-xr-x   2 kim  staff      4096 Nov 30  2025 /s",
        "  12      0 -rw-r--r--   1 kim  staff         0 Nov 30  2025 /s/zero",
        "  13      4 -rw-r--r--   1 kim  staff         1 Nov 30 08:09 /s/d/one",
        "  14      4 -rw-r--r--   1 kim  staff 4294967295 Nov 30  2025 /s/d/b\\ c",
        "  15      4 -rw-r--r--   1 kim  staff 9223372036854775807 Nov 30  2025 /s/max63",
        "  16      0 crw-r--r--   1 root root      1,   3 Nov 30  2025 /s/null",
        "  17      0 lrwxrwxrwx   1 kim  staff        16 Nov 30  2025 /s/link -> d/one",
        "  18      0 prw-r--r--   1 kim  staff         0 Nov 30  2025 /s/fifo"},
       {0, 1, 4294967295u, 9223372036854775807u, 0, 0, 0},
       {"/s", "/s/d", "/s/d", "/s", "/s", "/s", "/s"}},
      {"GNU tar -tv",
       kUnixTar,
       {"drwxr-xr-x kim/staff         0 2026-11-30 08:09 s/",
        "-rw-r--r-- kim/staff      3000 2026-11-30 08:09 s/hard1",
        "hrw-r--r-- kim/staff         0 2026-11-30 08:09 s/d/hard2 link to s/hard1",
        "lrwxrwxrwx kim/staff         0 2026-11-30 08:09 s/link -> hard1",
        "-rw-r--r-- kim/staff 4294967296 2026-11-30 08:09 s/d/e f/big",
        "crw-r--r-- root/root     1,3 2026-11-30 08:09 s/null"},
       {3000, 0, 0, 4294967296u, 0},
       {"s", "s/d", "s", "s/d/e f", "s"}},
      {"bsdtar -tv",
       kUnixTar,
       {"drwxr-xr-x  0 kim    staff       0 Nov 30  2025 s/",
        "-rw-r--r--  0 kim    staff    5120 Nov 30  2025 s/a b",
        "hrw-r--r--  0 kim    staff       0 Nov 30  2025 s/c link to s/a b",
        "-rw-r--r--  0 kim    staff    5119 Nov 30 08:09 s/d"},
       {5120, 0, 5119},
       {"s", "s", "s"}},
      {"dwalk --print",
       kUnixDwalk,
       {"[2026-12-09T07:30:00] Walking /s", "drwxr-xr-x kim staff   4.000 KB Mar 14 2024 15:02 /s",
        "-rw-r--r-- kim staff   5.000 KB Nov 30 2025 08:09 /s/five",
        "-rw-r--r-- kim staff   0.000 B  Nov 30 2025 08:09 /s/d/zero",
        "lrwxrwxrwx kim staff  16.000 B  Nov 30 2025 08:09 /s/link",
        "-rw-r--r-- kim staff   4.000 GB Nov 30 2025 08:09 /s/big"},
       {5120, 0, 0, 4294967296u},
       {"/s", "/s/d", "/s", "/s"}},
  };
  for (const Case& c : aCases) {
    UnixListing listing;
    Counted counted = readUnix(listing, c.nTool, c.lines);
    EXPECT_EQ(counted.sizes, c.sizes) << c.szWhat;
    EXPECT_EQ(counted.folders, c.folders) << c.szWhat;
  }
}

// A line read after any other reads as it reads field by field: what a
// line leaves for the next to spare work (its mode, where its date began)
// changes nothing. (The field its date began at is where the next line's
// date is tried first, either way.)
TEST(UnixTest, ReadsALineAfterAnyOtherAsFieldByField) {
  using namespace std::string_literals;
  struct Tool {
    int nTool;
    std::vector<std::string> lines;
  };
  const Tool aTools[] = {
      {kUnixFind,
       {"  11      4 -rw-r--r--   1 kim  staff      4096 Nov 30  2025 /s/a",
        "  12      4 -rw-r--r--@  1 kim  staff      4096 Nov 30  2025 /s/b",
        "  13      4 -rw-r--r--+  1 kim  staff        17 Nov 30 08:09 /s/c",
        "  14      0 lrwxrwxrwx   1 kim  staff        16 Nov 30  2025 /s/l -> d/one",
        "  15      4 -rw-r--r--x  1 kim  staff      4096 Nov 30  2025 /s/x",
        "  16      4 -rw-r--r--\t 1 kim  staff       123 Nov 30  2025 /s/t",
        "  17      4 -rw-r--r--   1 kim  staff  12345678 Nov 30  2025 /s/w",
        "  18      4 -rw-r--r--   1 kim  2025       4096 May  1  2026 /s/g",
        "  19      4 -rw-r--r--   1 kim  staff nov 4096 May  1  2026 /s/h",
        "  20      4 drwxr-xr-x   2 kim  staff      4096 Nov 30  2025 /s/d",
        "  21      4 -rw-r--r--   1 kim", "  22      4 -rw-r--r-", "  23      4 -rw-r--r--",
        "  24      4 -rw-r--r-Z   1 kim  staff      4096 Nov 30  2025 /s/z",
        "  25      4 -rw-r--rZ-   1 kim  staff      4096 Nov 30  2025 /s/y",
        // the date where line 11's stood, after more or fewer fields, or
        // other bytes among them; a date further on
        "  26      4 -rw-r--r--   1 kim_xstaff      4096 Nov 30  2025 /s/a",
        "  27      4 -rw-r--r--   1 k m  staff      4096 Nov 30  2025 /s/a",
        "  28      4 -rw-r--r--   1 kim \tstaff      4096 Nov 30  2025 /s/a",
        "  29      4 -rw-r--r--   1 kim\x01 staff      4096 Nov 30  2025 /s/a",
        "  30      4 -rw-r--r--   1 kim  staff   40 4096 Nov 30  2025 /s/a",
        "  1a      4 -rw-r--r--   1 kim  staff      4096 Nov 30  2025 /s/a",
        "[0x2:0x1]       4 -rw-r--r--   1 kim  staff 4096 Nov 30  2025 /s/a",
        "  31      4 -rw-r--r--   1 kim  staff      4096 Nov 30 /s/a",
        "  32      4 -rw-r--r--   1 kim  staff      4096  Nov 30  2025 /s/a",
        "  33      4 -rw-r--r--   1 kimberly_long  staff_long      4096 Nov 30  2025 /s/a",
        "  34      4 -rw-r--r--   1 Nov 30  2025    1999 Nov 30  2025 /s/a",
        // the date at the 62nd to the 65th byte, around the last of the mask
        "  41      4 -rw-r--r--   1 kimxxxxxxxxxxxxxx  staff      4096 Nov 30  2025 /s/a",
        "  42      4 -rw-r--r--   1 kimxxxxxxxxxxxxxxx  staff      4096 Nov 30  2025 /s/a",
        "  43      4 -rw-r--r--   1 kimxxxxxxxxxxxxxxxx  staff      4096 Nov 30  2025 /s/a",
        "  44      4 -rw-r--r--   1 kimxxxxxxxxxxxxxxxxx  staff      4096 Nov 30  2025 /s/a",
        // NULs, where the text ends
        "  35      4 -rw-r--r--   1 kim  staff      4096 Nov 30  2025 \0/s/a"s,
        "  36      4 -rw-r--r--   1 kim  staff      4096 Nov 30  2025 /s\0/a/b"s,
        "  37      4 -rw-r--r--   1 kim  staff      4096 Nov 3\0  2025 /s/a"s,
        "  38      4 -rw-r--r--   1 kim\0 staff      4096 Nov 30  2025 /s/a"s,
        "  39      0 lrwxrwxrwx   1 kim  staff        16 Nov 30  2025 /s/l -> \0d/one"s,
        "  40      0 lrwxrwxrwx   1 kim  staff        16 Nov 30  2025 /s/l\0 -> d/one"s,
        "find: '/s/x': Permission denied"}},
      {kUnixTar,
       {"-rw-r--r-- kim/staff      3000 2026-11-30 08:09 s/a",
        "-rw-r--r--@ kim/staff        5 2026-11-30 08:09 s/at",
        "hrw-r--r-- kim/staff         0 2026-11-30 08:09 s/h link to s/a",
        "Crw-r--r-- kim/staff         5 2026-11-30 08:09 s/c",
        "-rw-r--r--  0 kim    staff    5120 Nov 30  2025 s/b", "-rw-r--r--", "-rw-r--r-",
        "-rw-r--r-- kim/staff 3000 2026-11-30 08:09", "-rwxr-xr-x kim/staff 7 2026-11-30 08:09 s/x",
        "-rw-r--r-- kim staff      3 2026-11-30 08:09 s/a",
        "-rw-r--r-- kim/staff    3 3 2026-11-30 08:09 s/a",
        "-rw-r--r--\tkim/staff    3000 2026-11-30 08:09 s/a",
        "-rw-r--r-- kim/staff           3000 2026-11-30 08:09 s/a",
        "-rw-r--r-- 3 2026-11-30 08:09     7 2026-11-30 09:09 s/a",
        "-rw-r--r-- kim/staff      3000 2026-11-30 08:09 s/b\0/c"s,
        "-rw-r--r-- kim/staff      3000 2026-11-30 08:09 \0s/a"s}},
      {kUnixDwalk,
       {"-rw-r--r-- kim staff   78.000 B  May 16 2026 06:50 /s/a",
        "-rw-r--r-- kim staff  118.706 KB Sep 08 2026 00:00 /s/b",
        "-rw-r--r-- kim staff    1.5 KB Sep 08 2026 00:00 /s/c",
        "-rw-r--r-- kim staff    5.000 PB Sep 08 2026 00:00 /s/d",
        "-rw-r--r-- kim staff 118706 Sep 08 2026 00:00 /s/e",
        "lrwxrwxrwx kim staff   16.000 B  Nov 30 2025 08:09 /s/l", "[2026-12-09T07:30:00] Files: 3",
        "-rw-r--r-- kim staff   78.000 B", "-rw-r--r-- kimstaff   78.000 B  May 16 2026 06:50 /s/a",
        "-rw-r--r-- kim staff 78.000 B B  May 16 2026 06:50 /s/a",
        "-rw-r--r-- kim staff 7 78.000 B  May 16 2026 06:50 /s/a",
        "-rw-r--r-- kim staff                 78.000 B  May 16 2026 06:50 /s/a",
        "-rw-r--r-- 1.000 B May 16 2026 06:50  2.000 KB May 16 2026 07:50 /s/a",
        "-rw-r--r-- kim staff   78.000 B  May 16 2026 06:50 /s/x\0/y"s,
        "-rw-r--r-- kim staff   78.000 B  May 16 2026 06:5\0 /s/a"s}},
  };
  auto text = [](const Counted& c) {
    std::string s;
    for (std::size_t i = 0; i < c.sizes.size(); i++) {
      const LineStamp& t = c.stamps[i];
      s += std::to_string(c.sizes[i]) + "/" + std::to_string(c.types[i]) + "/" + c.folders[i] +
           "/" + std::to_string(t.nField1) + "-" + std::to_string(t.nField2) + "-" +
           std::to_string(t.nField3) + " " + std::to_string(t.nSecondOfDay) +
           (t.bHasDate ? "d" : "") + (t.bHasTime ? "t" : "") + ";";
    }
    return s;
  };
  auto readPair = [](int nTool, const std::string& before, const std::string& line, bool bForget,
                     bool bFolders) {
    UnixListing listing;
    listing.bFolders = bFolders;
    return readUnix(listing, nTool, {before, line}, bForget);
  };
  for (const Tool& tool : aTools) {
    for (const std::string& before : tool.lines) {
      for (const std::string& line : tool.lines) {
        for (bool bFolders : {true, false}) {
          EXPECT_EQ(text(readPair(tool.nTool, before, line, false, bFolders)),
                    text(readPair(tool.nTool, before, line, true, bFolders)))
              << before << "\n"
              << line << "\n"
              << bFolders;
        }
      }
    }
  }
}

// find -ls's columns of digits and its sizes are read a word of eight bytes
// at a time: a column or a size of a word's length, and one byte more or
// less, or a byte that ends the digits in the word.
TEST(UnixTest, ReadsFindLsColumnsAndSizesAcrossTheirWords) {
  struct Case {
    const char* szInode;
    const char* szBlocks;
    const char* szSize;
    bool bRead;
    std::uint64_t nSize;
  } const aCases[] = {
      {"1", "0", "0", true, 0},
      {"1234567", "4", "1234567", true, 1234567},
      {"12345678", "12345678", "12345678", true, 12345678},
      {"123456789", "123456789", "123456789", true, 123456789},
      {"1234567812345678", "8", "99999999", true, 99999999},
      {"12345678123456789", "8", "100000000", true, 100000000},
      {"1234567x", "8", "5", false, 0},
      {"12345678x", "8", "5", false, 0},
      {"12345678", "8x", "5", false, 0},
      {"1", "8", "1234a678", false, 0},
      {"1", "8", "12345a789", false, 0},
      {"1", "8", "00000042", true, 42},
      {"[0x200000401:0x1:0x0]", "8", "5120", true, 5120},
  };
  for (const Case& c : aCases) {
    std::string sLine = std::string("  ") + c.szInode + "  " + c.szBlocks +
                        " -rw-r--r--   1 kim  staff  " + c.szSize + " Nov 30  2025 /s/d/f";
    UnixListing listing;
    Counted counted = readUnix(listing, kUnixFind, {sLine, sLine});
    const Sizes kSizes = c.bRead ? Sizes{c.nSize, c.nSize} : Sizes{};
    EXPECT_EQ(counted.sizes, kSizes) << sLine;
    EXPECT_EQ(listing.nUnread, c.bRead ? 0u : 2u) << sLine;
  }
}

// find -printf '%s %T@ %p': a line is a folder when the next one lies in
// it; the epoch seconds give the local date, to the second.
TEST(UnixTest, ReadsFindPrintfWithEpochsAndTellsFolders) {
  const char* szZone = std::getenv("TZ");
  std::string sZone = szZone == nullptr ? "" : szZone;
  setenv("TZ", "UTC", 1);
  tzset();
  UnixListing listing;
  Counted counted =
      readUnix(listing, kUnixFind,
               {"4096 1780271999.9 /s", "4096 1780271999.9 /s/d", "5119 1780271999.9 /s/d/a b",
                "1 1780272000.0 /s/one", "4096 1780272000 /s/empty",
                "9223372036854775808 1780272000 /s/past"});
  if (szZone == nullptr) {
    unsetenv("TZ");
  } else {
    setenv("TZ", sZone.c_str(), 1);
  }
  tzset();
  EXPECT_TRUE(listing.bEpochs);
  EXPECT_EQ(counted.sizes, (Sizes{5119, 1, 4096}));  // an empty folder cannot be told
  EXPECT_EQ(counted.folders, (Folders{"/s/d", "/s", "/s"}));
  ASSERT_EQ(counted.stamps.size(), 3u);
  EXPECT_EQ(counted.stamps[0].nField3, 31);  // 2026-05-31 23:59:59
  EXPECT_EQ(counted.stamps[0].nSecondOfDay, 86399);
  EXPECT_EQ(counted.stamps[1].nField2, 6);  // 2026-06-01 00:00:00
  EXPECT_EQ(counted.stamps[1].nSecondOfDay, 0);
  EXPECT_EQ(listing.nUnread, 1u);
}

// find -printf '%s %T@ %p' read a word at a time: sizes and seconds on
// either side of eight and sixteen digits, fractions on either side of a
// word, and a path that starts like a mode, which is -ls's.
TEST(UnixTest, ReadsFindPrintfFieldsAcrossTheirWords) {
  struct Case {
    const char* szLine;
    bool bRead;
    std::uint64_t nSize;
  } const aCases[] = {
      {"12345678 1780272000.1234567 /a/1", true, 12345678},
      {"123456789 1780272000.12345678 /a/2", true, 123456789},
      {"1234567812345678 1780272000.123456789 /a/3", true, 1234567812345678},
      {"12345678123456789 178027200012.1234567812345678 /a/4", true, 12345678123456789},
      {"1234567812345678x 1780272000 /a/5", false, 0},
      {"123456789x 1780272000 /a/6", false, 0},
      {"5 1780272000.12345678x /a/7", false, 0},
      {"5 1780272000.1234567x /a/8", false, 0},
      {"5 1780272000.1234567812345678x /a/9", false, 0},
      {"5 1780272000123 /a/10", false, 0},
      {"5 17802x2000 /a/11", false, 0},
      {"5 1780272000.1234567812345678912 /a/12", false, 0},
      {"7 1780272000 drwxr-xr-x /a/13", false, 0},
      {"7 1780272000 hrw-r--r-- /a/14", false, 0},
  };
  for (const Case& c : aCases) {
    UnixListing listing;
    Counted counted =
        readUnix(listing, kUnixFind, {"1 1780272000 /b/1", "2 1780272000 /b/2", c.szLine});
    EXPECT_TRUE(listing.bEpochs) << c.szLine;  // learnt from the most lines
    const Sizes kSizes = c.bRead ? Sizes{1, 2, c.nSize} : Sizes{1, 2};
    EXPECT_EQ(counted.sizes, kSizes) << c.szLine;
    EXPECT_EQ(listing.nUnread, c.bRead ? 0u : 1u) << c.szLine;
  }
}

// dwalk's summary: Files and Data, the bytes within the rounding.
TEST(UnixTest, ChecksDwalksSummary) {
  for (int nStatedFiles : {1, 2, 3}) {
    UnixListing listing;
    readUnix(listing, kUnixDwalk,
             {"-rw-r--r-- kim staff   5.000 KB Nov 30 2025 08:09 /s/five",
              "-rw-r--r-- kim staff   1.000 B  Nov 30 2025 08:09 /s/one",
              "[2026-12-09T07:30:00]   Files: " + std::to_string(nStatedFiles),
              "[2026-12-09T07:30:00] Data: 5.001 KB (5121 bytes)"});
    EXPECT_EQ(unixTotalsDiffer(listing), nStatedFiles != 2) << nStatedFiles;
  }
}

// A size with a unit is no plain number: attached, or the next word.
TEST(KindTextTest, TellsSizesWrittenWithAUnit) {
  struct Case {
    const char* szDigits;  // the size field as the core copies it
    const char* szAfter;   // the line from the field's end
    bool bWordNext;
    bool bUnit;
  } const aCases[] = {
      {"111", " MiB clip", true, true},
      {"29KiB", "", false, true},
      {"4", " GB disk", true, true},
      {"20", " Bytes a", true, true},
      {"60", " B a", true, true},
      {"5", " kB a", true, true},
      {"1234", " Budget.xlsx", true, false},
      {"1234", " B.txt", true, false},
      {"12a", "", false, false},
      {"0", "", true, false},
      {"18446744073709551615", " KB", true, true},
  };
  for (const Case& c : aCases) {
    std::string after = padded(c.szAfter);
    EXPECT_EQ(isUnitSize(c.szDigits, after.c_str(), c.bWordNext), c.bUnit)
        << c.szDigits << c.szAfter;
  }
}

// Plain numbers to the bound of a file's size, 2^63 - 1, and one past it;
// eighteen digits are read without the bound's check, nineteen with it.
TEST(KindTextTest, ReadsPlainNumbersToTheLargestFileSize) {
  struct Case {
    const char* szDigits;
    bool bRead;
    std::uint64_t nValue;
  } const aCases[] = {
      {"0", true, 0},
      {"1", true, 1},
      {"999999999999999999", true, 999999999999999999u},
      {"1000000000000000000", true, 1000000000000000000u},
      {"9223372036854775807", true, 9223372036854775807u},
      {"9223372036854775808", false, 0},
      {"18446744073709551616", false, 0},
      {"", false, 0},
      {"12a", false, 0},
      {"00000000000000000042", true, 42},
  };
  for (const Case& c : aCases) {
    std::uint64_t nValue = 7;
    const char* pEnd = c.szDigits + std::strlen(c.szDigits);
    EXPECT_EQ(readPlainNumber(c.szDigits, pEnd, nValue), c.bRead) << c.szDigits;
    if (c.bRead) {
      EXPECT_EQ(nValue, c.nValue) << c.szDigits;
    }
  }
  // find -printf's sizes: read as their digits are passed up to eighteen,
  // by the rules of a number past them.
  UnixListing listing;
  Counted counted =
      readUnix(listing, kUnixFind,
               {"1 /a/one", "999999999999999999 /a/eighteen", "9223372036854775807 /a/largest",
                "9223372036854775808 /a/past", "00000000000000000042 /a/padded", "12a /a/not"});
  EXPECT_EQ(counted.sizes, (Sizes{1, 999999999999999999u, 9223372036854775807u, 42}));
  EXPECT_EQ(listing.nUnread, 2u);
}

// A word's leading digits, whatever follows them: the bytes on either side
// of '0' to '9', and those whose carry on adding 6 runs into the next byte.
TEST(KindTextTest, ReadsTheDigitsThatBeginAWord) {
  struct Case {
    const char* szWord;  // eight bytes
    int nDigits;
    std::uint64_t nValue;
  } const aCases[] = {
      {"12345678", 8, 12345678},
      {"99999999", 8, 99999999},
      {"00000000", 8, 0},
      {"00000001", 8, 1},
      {"1234567/", 7, 1234567},
      {"1234567:", 7, 1234567},
      {"9\xff"
       "999999",
       1, 9},
      {"\xfa"
       "1234567",
       0, 0},
      {"/1234567", 0, 0},
      {"1,234,56", 1, 1},
      {"40960 17", 5, 40960},
      {"7\0\0\0\0\0\0\0", 1, 7},
      {"98765432", 8, 98765432},
      {"1\xfa"
       "\xfa"
       "99999",
       1, 1},
  };
  for (const Case& c : aCases) {
    std::uint64_t nValue = 5;
    EXPECT_EQ(readDigitWord(c.szWord, nValue), c.nDigits) << c.szWord;
    EXPECT_EQ(nValue, c.nValue) << c.szWord;
  }
  // Every count of digits, each digit in every place.
  for (int nDigits = 1; nDigits <= 8; nDigits++) {
    for (char d = '0'; d <= '9'; d++) {
      char aWord[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
      std::uint64_t nExpected = 0;
      for (int i = 0; i < nDigits; i++) {
        aWord[i] = static_cast<char>('0' + (d - '0' + i) % 10);
        nExpected = nExpected * 10 + static_cast<unsigned>(aWord[i] - '0');
      }
      std::uint64_t nValue = 0;
      EXPECT_EQ(readDigitWord(aWord, nValue), nDigits);
      EXPECT_EQ(nValue, nExpected) << std::string(aWord, 8);
    }
  }
}

// Either byte is found at every place of every length, and never in the
// byte that follows the length.
TEST(KindTextTest, FindsEitherByteAtEveryPlace) {
  for (std::size_t n = 0; n <= 70; n++) {
    std::string sText(n + 1, 'x');
    sText[n] = '<';  // just past the bytes looked at
    EXPECT_FALSE(holdsEitherByte(sText.data(), n, '<', '(')) << n;
    for (std::size_t i = 0; i < n; i++) {
      for (char c : {'<', '('}) {
        std::string sWith = sText;
        sWith[i] = c;
        EXPECT_TRUE(holdsEitherByte(sWith.data(), n, '<', '(')) << n << " at " << i;
      }
    }
  }
}

// As strchr: the first colon before the first NUL, at every place of
// lines of every length around the sixteen bytes searched at once.
TEST(KindTextTest, FindsAByteAsStrchrDoes) {
  for (std::size_t n = 0; n <= 40; n++) {
    std::string sText(n, 'x');
    EXPECT_EQ(findByteInText(sText.c_str(), n, ':'), nullptr) << n;
    for (std::size_t i = 0; i < n; i++) {
      for (int nVariant = 0; nVariant < 3; nVariant++) {  // alone, a colon after, a NUL before
        std::string sWith = sText;
        sWith[i] = nVariant == 2 ? '\0' : ':';
        if (nVariant > 0 && i + 1 < n) sWith[i + 1] = ':';
        const char* sz = sWith.c_str();
        EXPECT_EQ(findByteInText(sz, n, ':'), std::strchr(sz, ':')) << n << " " << i << nVariant;
      }
    }
  }
}

// A field's end found a word at a time is the first blank, control that
// ends a field or NUL, as byte by byte: past bytes above 127 and controls
// that end none, at every place.
TEST(KindTextTest, FindsAFieldsEndAWordAtATime) {
  for (std::size_t n = 0; n <= 20; n++) {
    for (char cEnd : {' ', '\t', '\r', '\v', '\0'}) {
      for (char cInside : {'x', '\x01', '\x1f', '\x80', '\xa0', '!'}) {
        std::string sText(n, 'x');
        if (n > 0) sText[n / 2] = cInside;
        sText += cEnd;
        sText += "tail";
        sText.append(kPieceSlack + 8, '\0');
        const char* sz = sText.c_str();
        EXPECT_EQ(fieldEndInLine(sz), fieldEndAt(sz)) << n << " " << int(cInside) << int(cEnd);
      }
    }
  }
}

// Only a comma or full stop and three digits make a group of a size.
TEST(KindTextTest, TakesTheDigitGroupsOfASize) {
  struct Case {
    const char* szText;
    bool bGroup;
    std::uint64_t nValue;  // 7 before, then the group
  } const aCases[] = {
      {",000", true, 7000}, {".999 ", true, 7999}, {",1234", true, 7123}, {",12 ", false, 7},
      {",12", false, 7},    {"'123", false, 7},    {",/23", false, 7},    {",12:", false, 7},
      {"1,234", false, 7},  {"", false, 7},
  };
  for (const Case& c : aCases) {
    char szOut[4] = "abc";
    std::uint64_t nValue = 7;
    EXPECT_EQ(takeDigitGroup(c.szText, szOut, nValue), c.bGroup) << c.szText;
    EXPECT_EQ(nValue, c.nValue) << c.szText;
    EXPECT_STREQ(szOut, c.bGroup ? std::string(c.szText + 1, 3).c_str() : "abc") << c.szText;
  }
}

// Each kind's lines weigh for it alone, so that a few of them decide it.
TEST(ListingKindTest, TellsTheLineListsByTheirLines) {
  struct Case {
    const char* szLine;
    int nKind;
  } const aCases[] = {
      {"2026-11-30 08:09:10;5120;docs/a.txt", kKindRclone},
      {"5120 | docs/a.txt | 2026-11-30 08:09:10", kKindRclone},
      {"     5120 2026-11-30 08:09:10.000000000 docs/a.txt", kKindRclone},
      {"2026-12-07 22:01:02       5120 docs/a.txt", kKindS3},
      {"[2026-12-07 22:01:02 UTC] 5.0KiB STANDARD docs/a.txt", kKindMc},
      {"      5120  2026-12-07T22:01:02Z  gs://b/docs/a.txt", kKindGsutil},
      {"INFO: docs/a.txt;  Content Length: 5.00 KiB", kKindAzcopy},
      {"drwxr-xr-x kim/staff         0 2026-11-30 08:09 s/", kKindTar},
      {"[2026-12-09T07:30:00] Walking /s", kKindDwalk},
  };
  for (const Case& c : aCases) {
    std::string line = padded(c.szLine);
    EXPECT_EQ(kindOfLine(line.c_str(), std::strlen(c.szLine)), c.nKind) << c.szLine;
  }
}

}  // namespace
