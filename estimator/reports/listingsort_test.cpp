// The scan's listing in path order: the records come out sorted by folder
// and name, however many runs they were spilled in, and however they came in.
#include "reports/listingsort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Record = std::tuple<std::string, std::string, std::string>;  // folder, name, line

void collect(void* pContext, const char* pFolder, std::size_t nFolder, const char* pLine,
             std::size_t nLine) {
  static_cast<std::vector<std::pair<std::string, std::string>>*>(pContext)->emplace_back(
      std::string(pFolder, nFolder), std::string(pLine, nLine));
}

// Records of nFolders folders with nNames names each, in a shuffled order.
std::vector<Record> records(int nFolders, int nNames, unsigned nSeed) {
  std::vector<Record> all;
  for (int f = 0; f < nFolders; f++) {
    // Names that sort apart from their paths' order: "b", "b-x", "b/c".
    std::string sFolder = "/srv/" + std::string(1, static_cast<char>('a' + f % 3)) +
                          (f % 2 != 0 ? "-x" : "/c") + std::to_string(f);
    for (int n = 0; n < nNames; n++) {
      std::string sName = "file\xC3\xA9" + std::to_string(n * 7919 % 1000);
      all.emplace_back(sFolder, sName, "2026-01-01  00:00:00 " + sName + "\n");
    }
  }
  std::shuffle(all.begin(), all.end(), std::mt19937(nSeed));
  return all;
}

std::vector<std::pair<std::string, std::string>> sorted(const std::vector<Record>& in,
                                                        std::size_t nRunBytes, int& nError) {
  ListingSort sort;
  startListingSort(sort, "");
  sort.nRunBytes = nRunBytes;
  for (const Record& r : in) {
    const std::string& sFolder = std::get<0>(r);
    const std::string& sName = std::get<1>(r);
    const std::string& sLine = std::get<2>(r);
    addListingRecord(sort, sFolder.data(), sFolder.size(), sName.data(), sName.size(), sLine.data(),
                     sLine.size());
  }
  std::vector<std::pair<std::string, std::string>> out;
  nError = finishListingSort(sort, collect, &out);
  return out;
}

TEST(ListingSortTest, OrdersByFolderThenNameInMemoryAndThroughSpilledRuns) {
  std::vector<Record> in = records(40, 50, 7);
  std::vector<Record> want = in;
  std::sort(want.begin(), want.end());
  // One run in memory; a few runs merged at once; more than 64 runs, merged in passes.
  for (std::size_t nRunBytes : {std::size_t{1} << 30, std::size_t{20000}, std::size_t{600}}) {
    int nError = -1;
    std::vector<std::pair<std::string, std::string>> got = sorted(in, nRunBytes, nError);
    EXPECT_EQ(nError, 0) << nRunBytes;
    ASSERT_EQ(got.size(), want.size()) << nRunBytes;
    for (std::size_t i = 0; i < got.size(); i++) {
      ASSERT_EQ(got[i].first, std::get<0>(want[i])) << nRunBytes << " at " << i;
      ASSERT_EQ(got[i].second, std::get<2>(want[i])) << nRunBytes << " at " << i;
    }
  }
}

TEST(ListingSortTest, AnotherArrivalOrderGivesTheSameListing) {
  int nError = 0;
  EXPECT_EQ(sorted(records(9, 30, 1), 700, nError), sorted(records(9, 30, 2), 700, nError));
}

TEST(ListingSortTest, KeepsRecordsLargerThanTheMergeBuffer) {
  std::string sDeep(200000, 'd');  // a folder's path far longer than a read-ahead
  std::vector<Record> in = {
      {"/" + sDeep, "z", "z\n"}, {"/a", "b", "b\n"}, {"/" + sDeep, "y", "y\n"}};
  int nError = -1;
  std::vector<std::pair<std::string, std::string>> got = sorted(in, 1, nError);  // a run each
  EXPECT_EQ(nError, 0);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].second, "b\n");
  EXPECT_EQ(got[1].second, "y\n");
  EXPECT_EQ(got[2].second, "z\n");
}

TEST(ListingSortTest, EmptyAndScratchWhereTheListingsFolderTakesNone) {
  int nError = -1;
  EXPECT_TRUE(sorted({}, 100, nError).empty());
  EXPECT_EQ(nError, 0);
  // Beside a file in a folder that does not exist, the temporary folder takes it.
  std::vector<std::pair<std::string, std::string>> moved;
  ListingSort near;
  startListingSort(near, "/nonexistent-folder-of-plomet/listing.txt");
  near.nRunBytes = 1;
  addListingRecord(near, "/a", 2, "c", 1, "c\n", 2);
  addListingRecord(near, "/a", 2, "b", 1, "b\n", 2);
  EXPECT_EQ(finishListingSort(near, collect, &moved), 0);
  ASSERT_EQ(moved.size(), 2u);
  EXPECT_EQ(moved[0].second, "b\n");
#ifndef _WIN32
  // Where neither takes it, the sort fails and says why.
  const char* szTemp = std::getenv("TMPDIR");
  std::string sTemp = szTemp != nullptr ? szTemp : "";
  setenv("TMPDIR", "/nonexistent-folder-of-plomet", 1);
  ListingSort sort;
  startListingSort(sort, "/nonexistent-folder-of-plomet/listing.txt");
  sort.nRunBytes = 1;
  addListingRecord(sort, "/a", 2, "b", 1, "b\n", 2);
  addListingRecord(sort, "/a", 2, "c", 1, "c\n", 2);
  std::vector<std::pair<std::string, std::string>> out;
  EXPECT_NE(finishListingSort(sort, collect, &out), 0);
  EXPECT_TRUE(sort.sRecords.empty());
  if (szTemp != nullptr) {
    setenv("TMPDIR", sTemp.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
#endif
}

}  // namespace
