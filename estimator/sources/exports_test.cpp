// Tests of the readers of other tools' exports: ncdu's and gdu's JSON
// (ncduexport), rclone lsjson (lsjson), and the times they write (epoch).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "sources/epoch.h"
#include "sources/lsjson.h"
#include "sources/ncduexport.h"
#include "sources/text.h"

namespace {

// Dates are read in UTC, whatever the machine's zone.
void useUtc() {
#ifdef _WIN32
  _putenv_s("TZ", "UTC0");
  _tzset();
#else
  setenv("TZ", "UTC", 1);
  tzset();
#endif
}

// What an export gave: each counted entry as "folder/name size", and the sums.
struct NcduResult {
  std::vector<std::string> asEntries;
  std::uint64_t nBytes = 0;
};

// Reads the export fed in blocks of nBlock bytes (0: all at once). With
// nAheadQuarters of 0 to 4, the entries' names are not kept, and the objects
// in that many quarters of each block are read ahead first.
NcduResult readNcdu(NcduExport& ncdu, const std::string& sText, std::size_t nBlock = 0,
                    int nAheadQuarters = -1) {
  NcduResult result;
  startNcdu(ncdu);
  ncdu.bEntryNames = nAheadQuarters < 0;
  if (nBlock == 0) nBlock = sText.size() + 1;
  Entry entry;
  const auto take = [&]() {
    while (nextNcduEntry(ncdu, entry)) {
      std::string sFolder(entry.pFolder != nullptr ? entry.pFolder : "", entry.nFolder);
      std::string sDate = entry.stamp.bHasDate ? " " + std::to_string(entry.stamp.nField1) + "-" +
                                                     std::to_string(entry.stamp.nField3) + "@" +
                                                     std::to_string(entry.stamp.nSecondOfDay)
                                               : "";
      result.asEntries.push_back(sFolder + "/" + ncduEntryName(ncdu) + " " +
                                 std::to_string(entry.nSize) + sDate);
      result.nBytes += entry.nSize;
    }
  };
  NcduAhead ahead;
  for (std::size_t i = 0; i < sText.size(); i += nBlock) {
    std::size_t n = std::min(nBlock, sText.size() - i);
    if (nAheadQuarters >= 0) {
      readNcduAhead(sText.data() + i, n, n * static_cast<std::size_t>(nAheadQuarters) / 4, ahead);
      useNcduAhead(ncdu, &ahead);
    }
    feedNcdu(ncdu, sText.data() + i, n);
    take();
    useNcduAhead(ncdu, nullptr);
  }
  endNcdu(ncdu);
  take();
  return result;
}

// Expects two readings of the same export to have found the same.
void expectSameNcdu(const NcduExport& a, const NcduExport& b, const std::string& sWhere) {
  EXPECT_EQ(a.nObjects, b.nObjects) << sWhere;
  EXPECT_EQ(a.nExcluded, b.nExcluded) << sWhere;
  EXPECT_EQ(a.nReadErrors, b.nReadErrors) << sWhere;
  EXPECT_EQ(a.nUnread, b.nUnread) << sWhere;
  EXPECT_EQ(a.nUndated, b.nUndated) << sWhere;
  EXPECT_EQ(a.bEndedEarly, b.bEndedEarly) << sWhere;
  EXPECT_STREQ(a.szProgram, b.szProgram) << sWhere;
  EXPECT_EQ(ncduError(a) == nullptr, ncduError(b) == nullptr) << sWhere;
}

const char kHead[] =
    "[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1796812418},\n";

// An export in ncdu's shape: every member the reader weighs, nested folders.
const std::string kExport =
    std::string(kHead) +
    "[{\"name\":\"/srv/share\",\"asize\":4096,\"dev\":65024},\n"
    "{\"name\":\"zero\"},\n"
    "{\"name\":\"skip\",\"dev\":0,\"excluded\":\"pattern\"},\n"
    "[{\"name\":\"media\",\"asize\":4096},\n"
    "{\"name\":\"big\",\"asize\":18446744073709551615},\n"
    "{\"name\":\"h1\",\"asize\":51200,\"ino\":7,\"hlnkc\":true,\"nlink\":2},\n"
    "{\"name\":\"fifo\",\"notreg\":true},\n"
    "{\"name\":\"sym\",\"asize\":7,\"notreg\":true}],\n"
    "[{\"name\":\"locked\",\"asize\":4096,\"read_error\":true}],\n"
    "[{\"name\":\"docs\"},\n"
    "[{\"name\":\"old\"},{\"name\":\"c\",\"asize\":4294967296,"
    "\"extra\":{\"a\":[1,{\"asize\":9}]}}],\n"
    "{\"name\":\"h2\",\"asize\":51200,\"ino\":7,\"hlnkc\":true,\"nlink\":2},\n"
    "{\"name\":\"a\\\"b\\u00e9\",\"asize\":4294967295}]]]";

TEST(NcduExportTest, CountsFilesAndSpecialObjectsOnceEachAtAnyBlockSize) {
  const std::vector<std::string> kExpected = {
      "/srv/share/zero 0",         "/srv/share/media/big 18446744073709551615",
      "/srv/share/media/h1 51200", "/srv/share/media/fifo 0",
      "/srv/share/media/sym 0",    "/srv/share/docs/old/c 4294967296",
      "/srv/share/docs/h2 51200",  "/srv/share/docs/a\"b\xC3\xA9 4294967295"};
  for (std::size_t nBlock :
       {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{64}}) {
    NcduExport ncdu;
    NcduResult result = readNcdu(ncdu, kExport, nBlock);
    EXPECT_EQ(result.asEntries, kExpected) << "blocks of " << nBlock;
    EXPECT_EQ(ncdu.nObjects, 8u);
    EXPECT_EQ(ncdu.nExcluded, 1u);
    EXPECT_EQ(ncdu.nReadErrors, 1u);
    EXPECT_FALSE(ncdu.bEndedEarly);
    EXPECT_EQ(ncduError(ncdu), nullptr);
    EXPECT_STREQ(ncdu.szProgram, "ncdu");
  }
}

// The objects read ahead, on another thread, give what the reading gives
// them: at every block size, read ahead in none, some or all of each block.
// The second export's run names no program, and an entry does.
TEST(NcduExportTest, ObjectsReadAheadGiveWhatTheReadingGivesThem) {
  const std::string asTexts[] = {
      kExport,
      "[1,2,{\"timestamp\":1},\n[{\"name\":\"/r\"},{\"name\":\"p\",\"asize\":3,"
      "\"progname\":\"gdu\"},\n{\"name\":\"q\",\"asize\":4,\"mtime\":1796472000},"
      "{\"name\":\"r\",\"asize\":-4},{\"name\":\"s\",\"asize\":5,\"read_error\":true},"
      "{\"name\":\"{\\\"t\",\"asize\":6}, {\"name\":\"u\" , \"asize\" :7 }",
  };
  for (const std::string& sText : asTexts) {
    for (std::size_t nBlock : {0, 1, 2, 7, 64}) {
      NcduExport plain;  // no object read ahead
      NcduResult expected = readNcdu(plain, sText, nBlock, 0);
      for (int nQuarters = 1; nQuarters <= 4; nQuarters++) {
        NcduExport ncdu;
        NcduResult result = readNcdu(ncdu, sText, nBlock, nQuarters);
        std::string sWhere = "blocks of " + std::to_string(nBlock) + ", " +
                             std::to_string(nQuarters) + " quarters read ahead";
        EXPECT_EQ(result.asEntries, expected.asEntries) << sWhere;
        expectSameNcdu(ncdu, plain, sWhere);
      }
    }
  }
  // The names, kept for the echo, are read in turn: nothing is taken ahead.
  NcduExport named;
  NcduResult result = readNcdu(named, asTexts[1]);
  EXPECT_EQ(result.asEntries.size(), 4u);
  EXPECT_EQ(result.asEntries[0], "/r/p 3");
  EXPECT_STREQ(named.szProgram, "gdu");
}

TEST(NcduExportTest, TellsCutAndBrokenExportsApart) {
  struct Row {
    std::string sText;
    std::uint64_t nObjects;
    bool bEndedEarly;
    bool bFailed;
  };
  const std::string sTree = std::string(kHead) + "[{\"name\":\"/r\"},{\"name\":\"f\",\"asize\":1}";
  const Row kRows[] = {
      {sTree + "]]", 1, false, false},
      {sTree, 1, true, false},                                   // cut after an entry
      {sTree + ",{\"name\":\"g\",\"asize\":2", 1, true, false},  // cut inside one
      {sTree + "}]]", 1, false, true},                           // a brace too many
      {"[2,0,{\"progname\":\"x\"},[{\"name\":\"/r\"}]]", 0, false, true},
      {std::string(kHead) + "[1]]", 0, false, true},  // a folder without its object
      {std::string(kHead) + "[{\"name\":\"/r\"},5]]", 0, false, true},
      {std::string(kHead) + "[{\"name\":\"/r\"},{\"name\":\"f\",\"asize\":-1}]]", 0, false, false},
      {"", 0, false, false},
  };
  for (const Row& row : kRows) {
    NcduExport ncdu;
    readNcdu(ncdu, row.sText);
    EXPECT_EQ(ncdu.nObjects, row.nObjects) << row.sText;
    EXPECT_EQ(ncdu.bEndedEarly, row.bEndedEarly) << row.sText;
    EXPECT_EQ(ncduError(ncdu) != nullptr, row.bFailed) << row.sText;
  }
  NcduExport ncdu;  // an asize that is no size is left out and told
  readNcdu(ncdu, kRows[7].sText);
  EXPECT_EQ(ncdu.nUnread, 1u);
}

TEST(NcduExportTest, KnowsAnExportByItsFirstLine) {
  struct Row {
    const char* sz;
    bool bExport;
  };
  const Row kRows[] = {
      {kHead, true},
      {" [ 1 , 2 , { \"progname\" : \"gdu\" ", true},
      {"[1,0,{\"timestamp\":1,\"progname\":\"x\"}", true},
      {"[1,2,{\"timestamp\":1}]", false},  // no progname in the run's object
      {"[2,2,{\"progname\":\"ncdu\"}", false},
      {"[1,{\"progname\":\"ncdu\"}", false},
      {"[", false},
      {"{\"Path\":\"a\"}", false},
  };
  for (const Row& row : kRows) {
    std::string sLine(row.sz);
    sLine.append(kPieceSlack + 1, '\0');
    EXPECT_EQ(isNcduHeader(sLine.c_str(), std::strlen(row.sz)), row.bExport) << row.sz;
  }
}

// An object in ncdu's usual shape, read by its fixed keys, gives what its
// members read one by one give: the same object with a blank after its
// brace is read so. Each object is an export of its own, as some are faults.
TEST(NcduExportTest, ReadsUsualObjectsAsTheirMembersAre) {
  const char* const aszObjects[] = {
      R"("a","asize":0})",
      R"("b","asize":1,"dsize":4096,"mtime":1796472000})",
      R"("","asize":12345678,"mtime":0})",
      R"("c","asize":999999999999999999,"mtime":12345678901})",
      R"("d","asize":1000000000000000000})",
      R"("e","asize":01})",
      R"("f","asize":7,"mtime":-1})",
      R"("g","asize":7.5})",
      R"("h","asize":7e2,"mtime":5})",
      R"("i","asize":7,"dsize":8})",
      R"("j","asize":7,"mtime":5,"dsize":8})",
      R"("k","asize":7,"notreg":true})",
      R"("l"","asize":7})",
      R"("m","asize":"7"})",
      R"("n","dsize":7,"mtime":5})",
      R"("o","asize":7,"mtime":5)",
  };
  for (const char* szObject : aszObjects) {
    const std::string sHead = std::string(kHead) + "[{\"name\":\"/r\"},\n";
    const std::string sUsual = sHead + "{\"name\":" + szObject + "]]";
    const std::string sMembers = sHead + "{ \"name\":" + szObject + "]]";
    for (int nQuarters : {0, 4}) {
      for (std::size_t nBlock : {0, 7}) {
        NcduExport usual;
        NcduExport members;
        NcduResult expected = readNcdu(members, sMembers, nBlock, nQuarters);
        NcduResult result = readNcdu(usual, sUsual, nBlock, nQuarters);
        std::string sWhere = std::string(szObject) + " blocks of " + std::to_string(nBlock);
        EXPECT_EQ(result.asEntries, expected.asEntries) << sWhere;
        expectSameNcdu(usual, members, sWhere);
      }
    }
  }
}

TEST(NcduExportTest, DatesFilesFromTheirMtime) {
  useUtc();
  const std::string sText = std::string(kHead) +
                            "[{\"name\":\"/r\",\"mtime\":5},{\"name\":\"f\",\"mtime\":1796472000},"
                            "{\"name\":\"g\",\"mtime\":18446744073709551615},{\"name\":\"h\"}]]";
  NcduExport ncdu;
  startNcdu(ncdu);
  feedNcdu(ncdu, sText.data(), sText.size());
  endNcdu(ncdu);
  Entry entry;
  ASSERT_TRUE(nextNcduEntry(ncdu, entry));
  EXPECT_TRUE(entry.stamp.bHasDate && entry.stamp.bYearFirst);
  EXPECT_EQ(entry.stamp.nField1 * 10000 + entry.stamp.nField2 * 100 + entry.stamp.nField3,
            20261205);
  EXPECT_EQ(entry.stamp.nSecondOfDay, 12 * 3600);
  ASSERT_TRUE(nextNcduEntry(ncdu, entry));  // -1 as ncdu writes it: 1969-12-31 23:59:59
  EXPECT_EQ(entry.stamp.nField1 * 10000 + entry.stamp.nField2 * 100 + entry.stamp.nField3,
            19691231);
  EXPECT_EQ(entry.stamp.nSecondOfDay, 86399);
  ASSERT_TRUE(nextNcduEntry(ncdu, entry));
  EXPECT_FALSE(entry.stamp.bHasDate);
  EXPECT_EQ(ncdu.nUndated, 1u);
}

// --- rclone lsjson ------------------------------------------------------------

struct LsJsonResult {
  std::vector<std::string> asEntries;  // "folder size"
  std::vector<std::string> asStamps;   // each entry's "year-month-day second", or "-"
  std::uint64_t nBytes = 0;
};

// Expects two readings of the same lines to have counted the same.
void expectSameLsJson(const LsJson& a, const LsJson& b, const std::string& sWhere) {
  EXPECT_EQ(a.nUnknownSize, b.nUnknownSize) << sWhere;
  EXPECT_EQ(a.nUndated, b.nUndated) << sWhere;
  EXPECT_EQ(a.nUnread, b.nUnread) << sWhere;
  EXPECT_EQ(a.nFolders, b.nFolders) << sWhere;
  EXPECT_EQ(a.nClosed, b.nClosed) << sWhere;
}

LsJsonResult readLines(LsJson& lsjson, const std::vector<std::string>& asLines) {
  LsJsonResult result;
  startLsJson(lsjson);
  for (const std::string& sLine : asLines) {
    std::string sPadded = sLine;
    sPadded.append(kPieceSlack + 1, '\0');
    Entry entry;
    if (readLsJsonLine(lsjson, sPadded.c_str(), sLine.size(), false, entry)) {
      result.asEntries.push_back(std::string(entry.pFolder, entry.nFolder) + " " +
                                 std::to_string(entry.nSize));
      result.nBytes += entry.nSize;
      const LineStamp& stamp = entry.stamp;
      result.asStamps.push_back(stamp.bHasDate ? std::to_string(stamp.nField1) + "-" +
                                                     std::to_string(stamp.nField2) + "-" +
                                                     std::to_string(stamp.nField3) + " " +
                                                     std::to_string(stamp.nSecondOfDay)
                                               : "-");
    }
  }
  return result;
}

TEST(LsJsonTest, CountsFilesNotFoldersWithTheirFolders) {
  const std::vector<std::string> asLines = {
      "[",
      "{\"Path\":\"docs\",\"Name\":\"docs\",\"Size\":-1,\"IsDir\":true},",
      "{\"Path\":\"zero\",\"Name\":\"zero\",\"Size\":0,\"IsDir\":false},",
      "{\"Path\":\"docs/a\",\"Size\":5119,\"Hashes\":{\"md5\":\"x\"},\"IsDir\":false},",
      "{\"Path\":\"docs/old/b\",\"Size\":18446744073709551615,\"Metadata\":{\"m\":[1]}},",
      "{\"IsDir\":false,\"Size\":4294967296,\"Path\":\"c\"},",
      "{\"Path\":\"u\",\"Size\":-1,\"IsDir\":false},",
      "{\"Path\":\"v\",\"Size\":18446744073709551616,\"IsDir\":false}",
      "]",
  };
  LsJson lsjson;
  LsJsonResult result = readLines(lsjson, asLines);
  const std::vector<std::string> kExpected = {
      ". 0", "./docs/ 5119", "./docs/old/ 18446744073709551615", ". 4294967296", ". 0", ". 0"};
  EXPECT_EQ(result.asEntries, kExpected);
  EXPECT_EQ(lsjson.nFolders, 1u);
  EXPECT_EQ(lsjson.nUnknownSize, 2u);  // -1, and one past 2^64 - 1
  EXPECT_FALSE(lsJsonEndedEarly(lsjson));
}

TEST(LsJsonTest, ToldWhenTheListEndsEarly) {
  struct Row {
    std::vector<std::string> asLines;
    std::size_t nFiles;
    bool bEarly;
  };
  const std::string sFile = "{\"Path\":\"f\",\"Size\":1,\"IsDir\":false}";
  const Row kRows[] = {
      {{"[", sFile + ",", sFile, "]"}, 2, false},
      {{"[", sFile + ",", sFile + "]"}, 2, false},
      {{"[", sFile + ",", sFile + ","}, 2, true},             // stopped before the bracket
      {{"[", sFile + ",", "{\"Path\":\"g\",\"Si"}, 1, true},  // cut inside an object
      {{"["}, 0, true},                                       // rclone failed at once
      {{"[]"}, 0, false},
      {{"[", "]"}, 0, false},
  };
  for (const Row& row : kRows) {
    LsJson lsjson;
    LsJsonResult result = readLines(lsjson, row.asLines);
    EXPECT_EQ(result.asEntries.size(), row.nFiles) << row.asLines.back();
    EXPECT_EQ(lsJsonEndedEarly(lsjson), row.bEarly) << row.asLines.back();
  }
}

// A line read without the tokenizer, and the same line with an escape that
// makes the tokenizer read it, give the same object.
TEST(LsJsonTest, ReadsPlainLinesAsTheTokenizerDoes) {
  const char* const kObjects[] = {
      "\"Path\":\"d/a\",\"Size\":0,\"ModTime\":\"2026-12-05T12:00:00Z\",\"IsDir\":false",
      "\"Path\":\"d/e/b\",\"Size\":18446744073709551615,\"IsDir\":false",
      "\"Path\":\"c\",\"Size\":18446744073709551616",  // one past: no size
      "\"Path\":\"c\",\"Size\":4294967295 , \"IsDir\" : null",
      "\"Path\":\"c\",\"Size\":-1,\"IsDir\":false",
      "\"Path\":\"c\",\"Size\":-0",
      "\"Path\":\"c\",\"Size\":5120.0",
      "\"Path\":\"c\",\"Size\":5e3",
      "\"Path\":\"c\",\"Size\":05",  // no JSON: not read
      "\"Path\":\"c\",\"Size\":\"5\"",
      "\"Path\":\"x\",\"Size\":-1,\"IsDir\":true",
      "\"Size\":7,\"Hashes\":{\"md5\":\"00\"},\"Path\":\"h/i\"",
      "\"Size\":7,\"Path\":\"h/\u00e9/j\"",
      "\"Size\":7,\"Path\":\"p\",\"Size\":8",
      "\"Size\":tru",
      "\"Path\":\"c\",\"Size\":9\f,\"IsDir\":false",  // no JSON blank: not read
  };
  for (const char* szObject : kObjects) {
    std::string sPlain = std::string("{") + szObject + ",\"MimeType\":\"a/b\"}";
    std::string sEscaped = std::string("{") + szObject + ",\"MimeType\":\"a\\/b\"}";
    LsJson plain;
    LsJson escaped;
    LsJsonResult a = readLines(plain, {"[", sPlain});
    LsJsonResult b = readLines(escaped, {"[", sEscaped});
    EXPECT_EQ(a.asEntries, b.asEntries) << szObject;
    expectSameLsJson(plain, escaped, szObject);
  }
  LsJson lsjson;  // the sizes the fast reading gives, at their bounds
  LsJsonResult result = readLines(
      lsjson, {"[", std::string("{") + kObjects[1] + "}", std::string("{") + kObjects[3] + "}"});
  EXPECT_EQ(result.nBytes, 18446744073709551615u + 4294967295u);  // wraps: checks both
  EXPECT_EQ(result.asEntries.size(), 2u);
}

// The lines of rclone's own shape are read by their fixed keys; each such
// line, and lines that differ from the shape in a byte, give what the
// tokenizer gives for the same line with an escape in its Name.
TEST(LsJsonTest, ReadsRcloneShapedLinesAsTheTokenizerDoes) {
  useUtc();
  const std::string kShaped =  // %N: the name
      "{\"Path\":\"%P\",\"Name\":\"%N\",\"Size\":%S,\"MimeType\":\"text/plain\","
      "\"ModTime\":\"%T\",\"IsDir\":%D}";
  const char* const kTime = "2026-05-16T06:50:30.000000000Z";
  struct Row {
    const char* szPath;
    const char* szSize;
    const char* szTime;
    const char* szDir;
    const char* szAfter;  // after the object: a comma, the closing bracket
  };
  const Row kRows[] = {
      {"d/e/f.txt", "0", kTime, "false", ","},
      {"d/e/", "1", kTime, "false", ""},
      {"", "78", "2026-05-16T23:50:30-02:00", "false", "]"},
      {"f", "12345678", "", "false", ","},
      {"d/f", "123456789", "2026-05-16", "false", ","},
      {"d/f", "18446744073709551615", kTime, "false", ","},
      {"d/f", "18446744073709551616", kTime, "false", ","},  // one past: no size
      {"d/f", "-1", kTime, "false", ","},
      {"d", "-1", kTime, "true", ","},
      {"d/f", "-0", kTime, "false", ","},
      {"d/f", "07", kTime, "false", ","},
      {"d/f", "7.0", kTime, "false", ","},
      {"d/f", "7e1", kTime, "false", ","},
      {"d/f", "\"7\"", kTime, "false", ","},
      {"d/f", "null", kTime, "false", ","},
      {"d/f", "7", kTime, "null", ","},
      {"d/f", "7", kTime, "fals", ","},
      {"d/f", "7", kTime, "false ", ","},
      {"d/f", "7", kTime, "false,\"ID\":\"x\"", ","},
  };
  const auto fill = [&](const Row& row, const char* szName) {
    std::string s = kShaped;
    s.replace(s.find("%P"), 2, row.szPath);
    s.replace(s.find("%N"), 2, szName);
    s.replace(s.find("%S"), 2, row.szSize);
    s.replace(s.find("%T"), 2, row.szTime);
    s.replace(s.find("%D"), 2, row.szDir);
    return s + row.szAfter;
  };
  for (const Row& row : kRows) {
    std::string sShaped = fill(row, "f.txt");
    LsJson shaped;
    LsJson escaped;
    LsJsonResult a = readLines(shaped, {"[", sShaped});
    LsJsonResult b = readLines(escaped, {"[", fill(row, "f\\u002etxt")});
    EXPECT_EQ(a.asEntries, b.asEntries) << sShaped;
    EXPECT_EQ(a.asStamps, b.asStamps) << sShaped;
    expectSameLsJson(shaped, escaped, sShaped);
  }
  // What the fixed keys read, checked itself: the tokenizer might be wrong too.
  LsJson lsjson;
  LsJsonResult result =
      readLines(lsjson, {"[", fill(kRows[1], "n"), fill(kRows[2], ""), fill(kRows[5], "n")});
  const std::vector<std::string> kEntries = {"./d/e/ 1", ". 78", "./d/ 18446744073709551615"};
  const std::vector<std::string> kStamps = {"2026-5-16 24630", "2026-5-17 6630", "2026-5-16 24630"};
  EXPECT_EQ(result.asEntries, kEntries);
  EXPECT_EQ(result.asStamps, kStamps);
  EXPECT_EQ(lsjson.nClosed, 1u);
}

// Strings are searched eight bytes at a time: a quote, an escape or a byte
// above 127 at any place in the eight must end the search where it stands.
TEST(LsJsonTest, FindsEachStringsEndAtEveryPlaceInAWord) {
  for (std::size_t nBefore = 0; nBefore < 20; nBefore++) {
    const std::string sLead(nBefore, 'a');
    struct Form {
      std::string sWritten;  // the folder's name as the line writes it
      std::string sRead;     // as it is meant
    };
    const Form kForms[] = {{sLead, sLead},
                           {sLead + "\\u0041z", sLead + "Az"},
                           {sLead + "\\\"q", sLead + "\"q"},
                           {sLead + "\xC3\xA9", sLead + "\xC3\xA9"}};
    for (const Form& form : kForms) {
      const std::string sLine =
          "{\"Path\":\"" + form.sWritten + "/f\",\"Size\":5119,\"IsDir\":false}";
      LsJson lsjson;
      LsJsonResult result = readLines(lsjson, {"[", sLine});
      ASSERT_EQ(result.asEntries.size(), 1u) << sLine;
      EXPECT_EQ(result.asEntries[0], "./" + form.sRead + "/ 5119") << sLine;
    }
  }
}

TEST(LsJsonTest, WeighsTheOpeningBracketAndPathLines) {
  std::string sOpen = "[";
  std::string sPath = "{\"Path\":\"a\",\"Size\":1}";
  sOpen.append(kPieceSlack + 1, '\0');
  sPath.append(kPieceSlack + 1, '\0');
  EXPECT_EQ(lsJsonWeight(sOpen.c_str(), 1, 0, 100), 50);
  EXPECT_EQ(lsJsonWeight(sOpen.c_str(), 1, 1, 100), 0);
  EXPECT_EQ(lsJsonWeight(sPath.c_str(), 21, 1, 100), 50);
  EXPECT_EQ(lsJsonWeight(sPath.c_str(), 21, 5, 100), 1);
  EXPECT_EQ(lsJsonWeight(sPath.c_str(), 7, 1, 100), 0);  // too short for {"Path":
}

// --- times --------------------------------------------------------------------

TEST(EpochTest, ReadsRfc3339AtItsBounds) {
  struct Row {
    const char* sz;
    bool bRead;
    std::int64_t nSeconds;
  };
  const Row kRows[] = {
      {"1970-01-01T00:00:00Z", true, 0},
      {"1970-01-01T00:00:01.999999999Z", true, 1},
      {"1969-12-31T23:59:59.000000000Z", true, -1},
      {"2038-01-19T03:14:07Z", true, 2147483647},
      {"2038-01-19T03:14:08Z", true, 2147483648},
      {"2106-02-07T06:28:15Z", true, 4294967295},
      {"2026-12-05T13:30:00+01:30", true, 1796472000},
      {"2026-12-05t12:00:00z", true, 1796472000},
      {"2024-02-29T00:00:00Z", true, 1709164800},
      {"2023-02-29T00:00:00Z", false, 0},
      {"2026-12-05T24:00:00Z", false, 0},
      {"2026-12-05T12:00:00", false, 0},  // no offset
      {"2026-12-05T12:00:00Zx", false, 0},
      {"", false, 0},
  };
  for (const Row& row : kRows) {
    std::int64_t nSeconds = 0;
    EXPECT_EQ(readRfc3339(row.sz, std::strlen(row.sz), nSeconds), row.bRead) << row.sz;
    if (row.bRead) {
      EXPECT_EQ(nSeconds, row.nSeconds) << row.sz;
    }
  }
}

TEST(EpochTest, CountsDaysFromTheEpoch) {
  EXPECT_EQ(daysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(daysFromCivil(1969, 12, 31), -1);
  EXPECT_EQ(daysFromCivil(2000, 3, 1), 11017);
  EXPECT_EQ(daysFromCivil(1, 1, 1), -719162);
  EXPECT_EQ(daysFromCivil(9999, 12, 31), 2932896);
}

}  // namespace
