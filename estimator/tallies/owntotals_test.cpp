#include "tallies/owntotals.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

TEST(ReadSummaryLineTest, ReadsTheShapeInEveryLayout) {
  struct Case {
    const char* szLine;
    std::uint64_t nFiles, nBytes;
  };
  const Case kCases[] = {
      {"               3 File(s)         48,213 bytes", 3, 48213},
      {"              35 Datei(en),      4.500.939 Bytes", 35, 4500939},
      {"             217 fichier(s)    12\xC2\xA0"
       "345\xC2\xA0"
       "678 octets",
       217, 12345678},
      {"             217 fichier(s)    12\xE2\x80\xAF"
       "345 octets",
       217, 12345},
      {"               2 fichier(s)    12\xFF"
       "345 octets\r",
       2, 12345},
      {"               1 archivos          5120 bytes", 1, 5120},
      {"               1 \xE4\xB8\xAA\xE6\x96\x87\xE4\xBB\xB6  2,013,265,920 "
       "\xE5\xAD\x97\xE8\x8A\x82",
       1, 2013265920},
      {"\t0 File(s) 0 bytes  ", 0, 0},
      {" 1 f 99999999999999999999999 b", 1, UINT64_MAX},
      {" 1 f 18446744073709551615 b", 1, UINT64_MAX},  // the largest, and just past it
      {" 1 f 18446744073709551616 b", 1, UINT64_MAX},
  };
  for (const Case& c : kCases) {
    std::uint64_t nFiles = 0;
    std::uint64_t nBytes = 0;
    EXPECT_TRUE(readSummaryLine(c.szLine, nFiles, nBytes)) << c.szLine;
    EXPECT_EQ(nFiles, c.nFiles) << c.szLine;
    EXPECT_EQ(nBytes, c.nBytes) << c.szLine;
  }
}

TEST(ReadSummaryLineTest, RejectsOtherLines) {
  const char* const kLines[] = {
      "3 File(s)         48,213 bytes",  // no blank first
      "               2 Dir(s)  10,000,000,000 bytes free",
      "     Total Files Listed:",
      " Directory of C:\\Users\\alice",
      " Volume Serial Number is 1234-ABCD",
      "               3 File(s)",
      "               3 File(s)  48,213",
      "               3 4 5 bytes",
      "               x File(s)  48,213 bytes",
      "               ,3 File(s)  48,213 bytes",
      "",
      "   ",
  };
  for (const char* szLine : kLines) {
    std::uint64_t nFiles;
    std::uint64_t nBytes;
    EXPECT_FALSE(readSummaryLine(szLine, nFiles, nBytes)) << szLine;
  }
}

// Offers the lines that begin with whitespace, numbered as in the listing.
OwnTotals totalsOf(const std::vector<std::string>& lines) {
  OwnTotals totals;
  std::uint64_t nLine = 0;
  for (const std::string& line : lines) {
    ++nLine;
    if (line.empty() || line[0] == ' ') noteOwnTotalsLine(totals, line.c_str(), nLine);
  }
  return totals;
}

TEST(OwnTotalsTest, PrefersTheGrandTotalAndSkipsTheFreeSpace) {
  const std::vector<std::string> kListing = {
      " Directory of C:\\a",
      "",
      "03/14/2024  03:15 PM            48,213 notes.txt",
      "               1 File(s)         48,213 bytes",
      "",
      " Directory of C:\\a\\b",
      "",
      "03/14/2024  03:15 PM               100 b.txt",
      "               1 File(s)            100 bytes",
      "",
      "     Total Files Listed:",
      "               2 File(s)         48,313 bytes",
      "               3 Dir(s)  10,000 bytes",  // the free space, same shape in some layouts
  };
  std::uint64_t nFiles = 0;
  std::uint64_t nBytes = 0;
  ASSERT_TRUE(ownTotals(totalsOf(kListing), nFiles, nBytes));
  EXPECT_EQ(nFiles, 2u);
  EXPECT_EQ(nBytes, 48313u);

  // Without the grand total, the directories' summaries add up; the line
  // after the last is still the free space.
  std::vector<std::string> cut(kListing.begin(), kListing.begin() + 9);
  cut.push_back("               3 Dir(s)  10,000 bytes");
  ASSERT_TRUE(ownTotals(totalsOf(cut), nFiles, nBytes));
  EXPECT_EQ(nFiles, 2u);
  EXPECT_EQ(nBytes, 48313u);

  // Two listings one after the other: both grand totals count.
  std::vector<std::string> twice = kListing;
  twice.insert(twice.end(), kListing.begin(), kListing.end());
  ASSERT_TRUE(ownTotals(totalsOf(twice), nFiles, nBytes));
  EXPECT_EQ(nFiles, 4u);
  EXPECT_EQ(nBytes, 96626u);

  EXPECT_FALSE(ownTotals(totalsOf({" Directory: C:\\a", "", "-a----  3/14/2024  3:15 PM  5 a"}),
                         nFiles, nBytes));
}

}  // namespace
