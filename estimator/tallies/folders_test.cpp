#include "tallies/folders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::int64_t kOneByteEach[4] = {1, 1, 1, 1};

bool header(FolderTally& ft, const std::string& sLine, bool bCut = false) {
  return noteDirectoryLine(ft, Piece{sLine.c_str(), sLine.size(), !bCut, bCut});
}

void file(FolderTally& ft, const std::string& sName, std::uint64_t nSize = 1, int nClass = 0) {
  countListingFile(ft, sName.c_str(), nClass, nSize);
}

// The folders ranked at one byte per second: name -> {files, bytes}.
using Folders = std::map<std::string, std::pair<std::uint64_t, std::uint64_t>>;

Folders foldersOf(const FolderTally& ft, std::string* pRoot = nullptr) {
  FolderRanking ranking;
  rankFolders(ft, kOneByteEach, 1 << 30, ranking);
  if (pRoot != nullptr) *pRoot = ranking.sRoot;
  Folders folders;
  for (const FolderRow& row : ranking.rows) folders[row.sName] = {row.nFiles, row.nBytes};
  return folders;
}

TEST(FoldersTest, RecognisesHeadersByShape) {
  struct Case {
    const char* szLine;
    const char* szDirectory;  // nullptr: not a header
  };
  const Case kCases[] = {
      {" Directory of C:\\Users\\alice", "C:\\Users\\alice\\"},
      {" Verzeichnis von C:\\Daten\r", "C:\\Daten\\"},
      {" R\xC3\xA9pertoire de C:\\Donn\xC3\xA9\x65s", "C:\\Donn\xC3\xA9\x65s\\"},
      {" R\x82pertoire de C:\\Donn\x82\x65s", "C:\\Donn\x82\x65s\\"},  // code page bytes
      {" Directorio de C:\\x  ", "C:\\x\\"},
      {"    Directory: C:\\Users\\alice", "C:\\Users\\alice\\"},
      {" Directory of C:\\Program Files\\Common Files", "C:\\Program Files\\Common Files\\"},
      {" Directory of C:\\", "C:\\"},
      {" Directory of \\\\server\\share\\x", "\\\\server\\share\\x\\"},
      {"    Directory: /home/alice", "/home/alice/"},
      {"\tDirectory of d:\\x", "d:\\x\\"},
      {"   3 File(s)         48,213 bytes", nullptr},
      {"   2 Dir(s)  1,234,567 bytes free", nullptr},
      {"   3 Datei(en),         48.213 Bytes", nullptr},
      {"     Total Files Listed:", nullptr},
      {" Volume in drive C is OS", nullptr},
      {" Volume Serial Number is 1234-ABCD", nullptr},
      {" Directory of C:x", nullptr},
      {" Directory of:\\x", nullptr},
      {"", nullptr},
      {"   ", nullptr},
      // From the first column, as some languages write it; never a dated line.
      {"Directory of C:\\x", "C:\\x\\"},
      {"V\xC3\xBDpis adres\xC3\xA1\xC5\x99\x65 C:\\Users\\jan", "C:\\Users\\jan\\"},
      {"03/14/2024  03:15 PM  48,213 C:\\x", nullptr},
      {"2024-03-14  15:15    <DIR>  /srv/x", nullptr},
      {" Directory of \\Work\\b", nullptr},  // one backslash: no absolute path
  };
  for (const Case& c : kCases) {
    FolderTally ft;
    startFolders(ft, 1);
    EXPECT_EQ(header(ft, c.szLine), c.szDirectory != nullptr) << c.szLine;
    EXPECT_EQ(ft.sDirectory, c.szDirectory != nullptr ? c.szDirectory : "") << c.szLine;
  }
}

TEST(FoldersTest, FirstHeaderDecidesWhetherWordsFollowThePath) {
  const std::string kWords = " \xE7\x9A\x84\xE7\x9B\xAE\xE5\xBD\x95";  // UTF-8
  const std::string kCodePageWords = " \xB5\xC4\xC4\xBF\xC2\xBC";
  const std::string kNew = " \xE6\x96\xB0";  // a part of a name: a blank and a word
  struct Case {
    std::vector<std::string> headers;
    std::string sLast;  // the directory the last header names
  };
  const Case kCases[] = {
      {{" C:\\Data" + kWords}, "C:\\Data\\"},
      {{" C:\\" + kWords}, "C:\\"},
      {{" C:\\Data" + kCodePageWords + "\r"}, "C:\\Data\\"},
      {{" C:\\Data" + kWords, " C:\\Data\\a" + kNew + kWords}, "C:\\Data\\a" + kNew + "\\"},
      {{" C:\\Data" + kWords, " C:\\Program Files" + kWords}, "C:\\Program Files\\"},
      // Words that follow only a later header are a part of its name.
      {{" Directory of C:\\Data", " Directory of C:\\Data\\a" + kNew}, "C:\\Data\\a" + kNew + "\\"},
  };
  for (const Case& c : kCases) {
    FolderTally ft;
    startFolders(ft, 1);
    for (const std::string& sHeader : c.headers) EXPECT_TRUE(header(ft, sHeader)) << sHeader;
    EXPECT_EQ(ft.sDirectory, c.sLast) << c.headers.back();
  }
}

TEST(FoldersTest, HeaderCutAtTheLineEndKeepsItsWholeParts) {
  std::string sLine = " Directory of C:\\Data\\" + std::string(kMaxLine - 24, 'a') + "\\bbbb";
  sLine.resize(kMaxLine);
  FolderTally ft;
  startFolders(ft, 1);
  EXPECT_TRUE(header(ft, sLine, true));
  EXPECT_EQ(ft.sDirectory, "C:\\Data\\" + std::string(kMaxLine - 24, 'a') + "\\");
  // The same text as a whole line is all path.
  EXPECT_TRUE(header(ft, sLine, false));
  EXPECT_EQ(ft.sDirectory, sLine.substr(14) + "\\");
}

TEST(FoldersTest, RootAndDepth) {
  struct Case {
    const char* szWhat;
    int nDepth;
    std::vector<std::string> lines;  // " ..." headers, other lines file names
    std::string sRoot;
    Folders folders;
    std::uint64_t nUnplaced;
  };
  const Case kCases[] = {
      {"files directly in shallower directories count there",
       2,
       {" Directory of C:\\D", "r1", " Directory of C:\\D\\a", "a1", " Directory of C:\\D\\a\\b\\c",
        "c1", "c2", " Directory of C:\\D\\a\\b", "b1", " Directory of C:\\D\\e\\f", "f1"},
       "C:\\D",
       {{"", {1, 1}}, {"a", {1, 1}}, {"a\\b", {3, 3}}, {"e\\f", {1, 1}}},
       0},
      {"the root shrinks late and folders merge",
       1,
       {" Directory of C:\\Users\\alice\\Docs", "d1", "d2", " Directory of C:\\Users\\alice\\Music",
        "m1", " Directory of C:\\Users\\alice\\Music\\x", "x1", " Directory of C:\\Users\\bob",
        "b1"},
       "C:\\Users",
       {{"alice", {4, 4}}, {"bob", {1, 1}}},
       0},
      {"two drives share no root",
       1,
       {" Directory of C:\\a", "1", " Directory of D:\\b", "2", "3"},
       "",
       {{"C:\\", {1, 1}}, {"D:\\", {2, 2}}},
       0},
      {"one folder only: the root's own files",
       3,
       {" Directory of C:\\Users\\alice\\Docs", "d1", "d2"},
       "C:\\Users\\alice\\Docs",
       {{"", {2, 2}}},
       0},
      {"a directory without files is not part of the root",
       1,
       {" Directory of C:\\Data", " Directory of C:\\Data\\only", "o1",
        " Directory of C:\\Data\\only\\sub", "s1"},
       "C:\\Data\\only",
       {{"", {1, 1}}, {"sub", {1, 1}}},
       0},
      {"files before any header have no folder",
       1,
       {"x1", "x2", " Directory of C:\\Data", "d1"},
       "C:\\Data",
       {{"", {1, 1}}},
       2},
      {"no folder at all", 1, {"x1", "x2"}, "", {}, 2},
      {"absolute names, as written by find, name their directory",
       1,
       {"/srv/share/a/1.txt", "/srv/share/a/2.txt", "/srv/share/b/c/3.txt", "/srv/share/4.txt"},
       "/srv/share",
       {{"", {1, 1}}, {"a", {2, 2}}, {"b", {1, 1}}},
       0},
      {"the file system's root",
       1,
       {" Directory: /home", "h", " Directory: /etc", "e"},
       "/",
       {{"home", {1, 1}}, {"etc", {1, 1}}},
       0},
  };
  for (const Case& c : kCases) {
    FolderTally ft;
    startFolders(ft, c.nDepth);
    for (const std::string& sLine : c.lines) {
      if (sLine[0] == ' ') {
        header(ft, sLine);
      } else {
        file(ft, " " + sLine);
      }
    }
    std::string sRoot;
    EXPECT_EQ(foldersOf(ft, &sRoot), c.folders) << c.szWhat;
    EXPECT_EQ(sRoot, c.sRoot) << c.szWhat;
    EXPECT_EQ(ft.unplaced.nFiles, c.nUnplaced) << c.szWhat;
  }
}

TEST(FoldersTest, LogPaths) {
  struct Case {
    std::vector<std::string> paths;
    std::string sRoot;
    Folders folders;
    std::uint64_t nUnplaced;
  };
  const Case kCases[] = {
      {{" /srv/share/a/x.ods [done]", " /srv/share/b/y z.txt [failed]  ", " /srv/share/a/q/w"},
       "/srv/share",
       {{"a", {2, 2}}, {"b", {1, 1}}},
       0},
      {{" C:\\Users\\al\\x.txt [done]", " C:\\Users\\bo\\y [1].txt", " C:\\Users\\bo\\z [x]"},
       "C:\\Users",
       {{"al", {1, 1}}, {"bo", {2, 2}}},
       0},
      // Both separators name the same folder, as written first.
      {{" C:\\Data\\a\\x", " C:/Data/a/y", " C:/Data/b/z"},
       "C:\\Data",
       {{"a", {2, 2}}, {"b", {1, 1}}},
       0},
      {{" name.txt [done]", " /srv/a/x"}, "/srv/a", {{"", {1, 1}}}, 1},
      {{" [done]", ""}, "", {}, 2},
  };
  for (const Case& c : kCases) {
    FolderTally ft;
    startFolders(ft, 1);
    for (const std::string& sPath : c.paths) countLogObject(ft, sPath.c_str(), 0, 1);
    std::string sRoot;
    EXPECT_EQ(foldersOf(ft, &sRoot), c.folders) << c.paths[0];
    EXPECT_EQ(sRoot, c.sRoot) << c.paths[0];
    EXPECT_EQ(ft.unplaced.nFiles, c.nUnplaced) << c.paths[0];
  }
}

// The root and folders computed from all directories at once, as the rule
// states them, against the tallies built line by line: from headers, from
// full paths in a listing, and from log paths with statuses and both
// separators (names compared with '\').
TEST(FoldersTest, MatchesReferenceInRandomOrders) {
  const char* const kParts[] = {"a", "b", "c", "x [1]"};
  const char* const kStatuses[] = {"", " [done]", " [failed: C:\\tmp]", "  "};
  std::mt19937 rng(7);
  for (int nRound = 0; nRound < 600; nRound++) {
    int nMode = nRound % 3;  // headers, full names, log paths
    int nDepth = 1 + static_cast<int>(rng() % 3);
    std::vector<std::string> dirs;
    std::string sBase = rng() % 8 == 0 ? "" : "C:\\top\\";
    for (int i = 0, n = 1 + static_cast<int>(rng() % 12); i < n; i++) {
      std::string sDir = sBase.empty() ? (rng() % 2 ? "C:\\" : "D:\\") : sBase;
      for (int nParts = static_cast<int>(rng() % 5); nParts > 0; nParts--) {
        sDir += kParts[rng() % 4];
        sDir += '\\';
      }
      dirs.push_back(sDir);
    }
    std::string sRoot = dirs[0];
    for (const std::string& sDir : dirs) {
      std::size_t n = 0;
      while (n < sRoot.size() && n < sDir.size() && sRoot[n] == sDir[n]) n++;
      while (n > 0 && sRoot[n - 1] != '\\') n--;
      sRoot.resize(n);
    }
    int nRootParts = static_cast<int>(std::count(sRoot.begin(), sRoot.end(), '\\'));
    FolderTally ft;
    startFolders(ft, nDepth);
    Folders expected;
    for (const std::string& sDir : dirs) {
      std::size_t nKey = 0;
      for (int nParts = 0; nKey < sDir.size() && nParts < nRootParts + nDepth; nKey++) {
        if (sDir[nKey] == '\\') nParts++;
      }
      std::string sName = sDir.substr(sRoot.size(), nKey - sRoot.size());
      if (sName.size() > 1 && sName.back() == '\\' && sName[sName.size() - 2] != ':') {
        sName.pop_back();
      }
      std::uint64_t nFiles = 1 + rng() % 3;
      expected[sName].first += nFiles;
      expected[sName].second += nFiles * 10;
      if (nMode == 0) header(ft, " Directory of " + sDir);
      for (std::uint64_t i = 0; i < nFiles; i++) {
        if (nMode == 0) {
          file(ft, " f.txt", 10);
        } else if (nMode == 1) {
          file(ft, " " + sDir + "f [2].txt", 10);
        } else {
          std::string sPath = sDir + "f.txt";
          if (rng() % 4 == 0) std::replace(sPath.begin() + 2, sPath.end(), '\\', '/');
          sPath = " " + sPath + kStatuses[rng() % 4];
          countLogObject(ft, sPath.c_str(), 0, 10);
        }
      }
    }
    Folders actual;
    for (const auto& folder : foldersOf(ft)) {
      std::string sName = folder.first;
      std::replace(sName.begin(), sName.end(), '/', '\\');
      actual[sName] = folder.second;
    }
    ASSERT_EQ(actual, expected) << "round " << nRound;
  }
}

TEST(FoldersTest, RanksByTimeThenBytesFilesAndName) {
  FolderTally ft;
  startFolders(ft, 1);
  // Class 0 at 10 bytes per second, class 3 at 1000: seconds, not bytes, rank.
  const std::int64_t kRates[4] = {10, 0, -5, 1000};
  header(ft, " Directory of C:\\r\\big");  // 5000 bytes: 5 s
  file(ft, " a", 5000, 3);
  header(ft, " Directory of C:\\r\\small");  // 60 bytes: 6 s
  file(ft, " a", 60, 0);
  header(ft, " Directory of C:\\r\\free");  // classes at rates <= 0: 0 s, most bytes
  file(ft, " a", 900, 1);
  file(ft, " b", 900, 2);
  header(ft, " Directory of C:\\r\\tie-b");  // 5 s, like big, fewer bytes
  file(ft, " a", 50, 0);
  header(ft, " Directory of C:\\r\\tie-a");  // the same as tie-b: the name decides
  file(ft, " a", 50, 0);
  header(ft, " Directory of C:\\r\\two");  // 5 s, as many bytes as tie-a, more files
  file(ft, " a", 25, 0);
  file(ft, " b", 25, 0);
  FolderRanking ranking;
  rankFolders(ft, kRates, 10, ranking);
  std::vector<std::string> order;
  for (const FolderRow& row : ranking.rows) order.push_back(row.sName);
  EXPECT_EQ(order, (std::vector<std::string>{"small", "big", "two", "tie-a", "tie-b", "free"}));
  EXPECT_DOUBLE_EQ(ranking.rows[0].dSeconds, 6.0);
  EXPECT_DOUBLE_EQ(ranking.rows[5].dSeconds, 0.0);
  EXPECT_EQ(ranking.rows[5].nBytes, 1800u);
  EXPECT_EQ(ranking.nRestFolders, 0u);
}

TEST(FoldersTest, RestRowAndTotalsAddUp) {
  // Sizes at the 32-bit boundaries and the largest file size.
  const std::uint64_t kSizes[] = {0, 1, 4294967295u, 4294967296u, 9223372036854775807u, 7};
  const std::int64_t kRates[4] = {3, 7, 11, 13};
  for (int nTop : {0, 1, 2, 5, 6, 100}) {
    FolderTally ft;
    startFolders(ft, 1);
    file(ft, " before-any-header", 5, 0);
    std::uint64_t nBytes = 5;
    int nFolder = 0;
    for (std::uint64_t nSize : kSizes) {
      header(ft, " Directory of C:\\r\\f" + std::to_string(nFolder++));
      for (int nClass = 0; nClass < 4; nClass++) file(ft, " x", nSize / 4 + nClass, nClass);
      nBytes += 4 * (nSize / 4) + 6;
    }
    FolderRanking ranking;
    rankFolders(ft, kRates, nTop, ranking);
    ASSERT_TRUE(ranking.bFound);
    EXPECT_EQ(ranking.nFolders, 6u);
    EXPECT_EQ(ranking.rows.size(), static_cast<std::size_t>(std::min(nTop, 6)));
    EXPECT_EQ(ranking.nRestFolders, 6 - ranking.rows.size());
    std::uint64_t nFiles = ranking.rest.nFiles + ranking.unplaced.nFiles;
    std::uint64_t nRowBytes = ranking.rest.nBytes + ranking.unplaced.nBytes;
    double dSeconds = ranking.rest.dSeconds + ranking.unplaced.dSeconds;
    double dShare = ranking.rest.dShare + ranking.unplaced.dShare;
    for (const FolderRow& row : ranking.rows) {
      nFiles += row.nFiles;
      nRowBytes += row.nBytes;
      dSeconds += row.dSeconds;
      dShare += row.dShare;
    }
    EXPECT_EQ(ranking.total.nFiles, 25u);
    EXPECT_EQ(nFiles, 25u) << nTop;
    EXPECT_EQ(ranking.total.nBytes, nBytes);
    EXPECT_EQ(nRowBytes, nBytes) << nTop;
    EXPECT_NEAR(dSeconds, ranking.total.dSeconds, ranking.total.dSeconds * 1e-12) << nTop;
    EXPECT_NEAR(dShare, 100.0, 1e-9) << nTop;
    EXPECT_EQ(ranking.unplaced.nFiles, 1u);
    EXPECT_DOUBLE_EQ(ranking.unplaced.dSeconds, 5.0 / 3);
  }
  // Bytes stay at 2^64 - 1 rather than wrap, as the report's totals do.
  FolderTally ft;
  startFolders(ft, 1);
  header(ft, " Directory of C:\\r\\big");
  for (int i = 0; i < 3; i++) file(ft, " x", 9223372036854775807u, 3);
  FolderRanking ranking;
  rankFolders(ft, kRates, 1, ranking);
  EXPECT_EQ(ranking.rows.at(0).nBytes, 18446744073709551615u);
  EXPECT_EQ(ranking.total.nBytes, 18446744073709551615u);
}

TEST(FoldersTest, SecondsAreNotRoundedPerClass) {
  FolderTally ft;
  startFolders(ft, 1);
  const std::int64_t kRates[4] = {2, 2, 2, 2};
  header(ft, " Directory of C:\\only");
  for (int nClass = 0; nClass < 4; nClass++) file(ft, " x", 1, nClass);
  FolderRanking ranking;
  rankFolders(ft, kRates, 1, ranking);
  ASSERT_EQ(ranking.rows.size(), 1u);
  EXPECT_DOUBLE_EQ(ranking.rows[0].dSeconds, 2.0);
  EXPECT_DOUBLE_EQ(ranking.rows[0].dShare, 100.0);
  EXPECT_DOUBLE_EQ(ranking.total.dSeconds, 2.0);
}

}  // namespace

namespace {

TEST(FoldersTest, FilesSetAsideCountForTheirReadingAlone) {
  FolderTally ft;
  startFolders(ft, 1);
  header(ft, " Directory of C:\\r\\a");
  countListingFile(ft, "x.txt", 0, 100);
  countListingFile(ft, "y.txt", 0, 10, kFolderMonthFirstOnly);
  header(ft, " Directory of C:\\r\\b");
  countListingFile(ft, "z.txt", 3, 1000, kFolderDayFirstOnly);
  const std::int64_t kRates[4] = {10, 10, 10, 10};
  struct Case {
    int nGroup;
    std::uint64_t nFiles, nBytes;
    std::size_t nRowsWithFiles;
  };
  const Case kCases[] = {{kFolderCounted, 1, 100, 1},
                         {kFolderMonthFirstOnly, 2, 110, 1},
                         {kFolderDayFirstOnly, 2, 1100, 2}};
  for (const Case& c : kCases) {
    FolderRanking ranking;
    rankFolders(ft, kRates, 5, ranking, c.nGroup);
    EXPECT_EQ(ranking.total.nFiles, c.nFiles) << c.nGroup;
    EXPECT_EQ(ranking.total.nBytes, c.nBytes) << c.nGroup;
    std::size_t nRows = 0;
    for (const FolderRow& row : ranking.rows) nRows += row.nFiles > 0;
    EXPECT_EQ(nRows, c.nRowsWithFiles) << c.nGroup;
  }
}

}  // namespace

namespace {

// A path counted from its piece, whose bytes may be read to the piece's end,
// lands where the same text counted up to its NUL does: also when a NUL cuts
// the path short in the root, in the folder's name or just after it, and
// whatever bytes follow the NUL.
TEST(FoldersTest, PathsInPiecesEndAtTheirNul) {
  const char* const kPaths[] = {"/srv/share/a/x.ods [done]",
                                "/srv/share/b/c/y [failed]",
                                "/srv/share/a/q/w",
                                "/srv/other/z",
                                "/srv/share/long-folder-name/f",
                                "/srv/share/a [1]/f"};
  std::mt19937 rng(11);
  for (int nRound = 0; nRound < 400; nRound++) {
    int nDepth = 1 + nRound % 2;
    FolderTally viaText;
    FolderTally viaPiece;
    startFolders(viaText, nDepth);
    startFolders(viaPiece, nDepth);
    for (int nLine = 0; nLine < 12; nLine++) {
      std::string sLine = std::string(" ") + kPaths[rng() % 6];
      if (rng() % 3 == 0) {
        // A NUL somewhere in the path, then bytes that would name another folder.
        sLine[1 + rng() % (sLine.size() - 1)] = '\0';
        sLine += "/srv/share/zz/";
      }
      std::uint64_t nSize = 1 + rng() % 1000;
      countLogObject(viaText, sLine.c_str(), 0, nSize);
      countLogObject(viaPiece, Piece{sLine.c_str(), sLine.size(), true, false}, sLine.c_str(), 0,
                     nSize);
    }
    std::string sRootText;
    std::string sRootPiece;
    Folders text = foldersOf(viaText, &sRootText);
    ASSERT_EQ(foldersOf(viaPiece, &sRootPiece), text) << "round " << nRound;
    ASSERT_EQ(sRootPiece, sRootText) << "round " << nRound;
    ASSERT_EQ(viaPiece.unplaced.nFiles, viaText.unplaced.nFiles) << "round " << nRound;
  }
}

}  // namespace

// Sources that name each object's folder: with or without a final separator,
// relative or absolute, and no folder at all.
TEST(FoldersTest, FilesPlacedByTheirFolder) {
  FolderTally ft;
  startFolders(ft, 1);
  auto add = [&ft](const std::string& sDir, std::uint64_t nSize) {
    countFolderFile(ft, sDir.data(), sDir.size(), 0, nSize);
  };
  add("/srv/share/a", 1);
  add("/srv/share/a/deep/er/", 2);
  add("/srv/share", 4);
  add("/srv/share/b", 8);
  add("", 16);
  std::string sRoot;
  Folders folders = foldersOf(ft, &sRoot);
  EXPECT_EQ(sRoot, "/srv/share");
  EXPECT_EQ(folders, (Folders{{"", {1, 4}}, {"a", {2, 3}}, {"b", {1, 8}}}));
}
