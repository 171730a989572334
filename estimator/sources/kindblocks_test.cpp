#include "sources/kindblocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

// What a reading counted: the objects' sizes in order of counting, and the
// reader's own counts that its warnings show.
struct Tally {
  std::vector<std::uint64_t> sizes;
  std::uint64_t nObjects = 0;
  std::uint64_t nFolderGuess = 0;
  std::uint64_t nUnread = 0;
  // robocopy's jobs: checked against their summaries, and differing.
  std::uint64_t nJobsChecked = 0;
  std::uint64_t nJobsDiffering = 0;
  bool operator==(const Tally& o) const {
    return sizes == o.sizes && nObjects == o.nObjects && nFolderGuess == o.nFolderGuess &&
           nUnread == o.nUnread && nJobsChecked == o.nJobsChecked &&
           nJobsDiffering == o.nJobsDiffering;
  }
};

void readLines(KindReader& reader, const std::vector<std::string>& lines, std::size_t nFrom,
               std::size_t nTo, Tally& tally) {
  for (std::size_t i = nFrom; i < nTo; i++) {
    std::string text = lines[i] + std::string(kPieceSlack + 1, '\0');
    Piece piece{text.c_str(), lines[i].size(), true, false};
    Entry entry;
    if (readKindLine(reader, piece, entry)) tally.sizes.push_back(entry.nSize);
  }
}

void finish(KindReader& reader, Tally& tally) {
  Entry entry;
  if (finishKindReader(reader, entry)) tally.sizes.push_back(entry.nSize);
  tally.nObjects = reader.nObjects;
  tally.nFolderGuess = reader.tools.nFolderGuess;
  tally.nUnread = reader.csv.nUnread + reader.tools.nUnread;
  if (reader.nKind == kKindRobocopy) {
    closeRobocopyJob(reader.robocopy);
    tally.nJobsChecked = reader.robocopy.nJobsChecked;
    tally.nJobsDiffering = reader.robocopy.nJobsDiffering;
  }
}

// Reads the lines whole, and in two parts cut before each line after the
// first nHead (which the reader reads before the parts, as the lines held
// while the kind is decided): the second part from where the parts begin,
// joined, or read again where it does not fit. Each cut must count as the
// whole.
void expectPartsReadAsWhole(int nKind, const std::vector<std::string>& lines,
                            std::size_t nHead = 1) {
  auto start = std::make_unique<KindReader>();
  startKindReader(*start, nKind, CivilDate{2026, 12, 9}, false, false);
  Tally head;
  readLines(*start, lines, 0, nHead, head);
  ASSERT_TRUE(kindPartsMayStart(*start));
  auto whole = std::make_unique<KindReader>(*start);
  Tally expected = head;
  readLines(*whole, lines, nHead, lines.size(), expected);
  finish(*whole, expected);
  for (std::size_t nCut = nHead; nCut < lines.size(); nCut++) {
    auto first = std::make_unique<KindReader>(*start);
    auto part = std::make_unique<KindReader>();
    Tally got = head;
    readLines(*first, lines, nHead, nCut, got);
    startKindPart(*part, *start);
    Tally partTally;
    readLines(*part, lines, nCut, lines.size(), partTally);
    if (kindBlockFits(*first, *start, *part)) {
      Entry entry;
      if (joinKindPart(*first, *part, entry)) got.sizes.push_back(entry.nSize);
      got.sizes.insert(got.sizes.end(), partTally.sizes.begin(), partTally.sizes.end());
    } else {
      readLines(*first, lines, nCut, lines.size(), got);
    }
    finish(*first, got);
    // The order of counting may differ: what was counted may not.
    std::sort(got.sizes.begin(), got.sizes.end());
    Tally sorted = expected;
    std::sort(sorted.sizes.begin(), sorted.sizes.end());
    EXPECT_TRUE(got == sorted) << "cut before line " << nCut << ": " << got.sizes.size()
                               << " objects, " << got.nFolderGuess << " folders guessed";
  }
}

// find -printf without types: a line is a folder when the next lies in it.
// The held paths reach the room kept for them (kFolderRoom - 1 bytes) and
// pass it by one, where the next line is told by the byte after the room.
TEST(KindPartsTest, SettlesAFindLineHeldAcrossTheCut) {
  const std::string sLong(kFolderRoom - 1 - 5, 'p');  // "/srv/" and this fill the room
  expectPartsReadAsWhole(kKindFind, {
                                        "4096 /srv",
                                        "4096 /srv/a",
                                        "10 /srv/a/one",
                                        "4096 /srv/a/empty",
                                        "20 /srv/ab",
                                        "find: '/srv/x': Permission denied",
                                        "4096 /srv/" + sLong,
                                        "30 /srv/" + sLong + "/in",
                                        "4096 /srv/" + sLong + "x",
                                        "40 /srv/" + sLong + "x/in",
                                        "50 /srv/" + sLong + "y",
                                        "60 /srv/last",
                                    });
}

// A CSV row whose quoted name holds line breaks: a cut inside it makes the
// part read again, a cut outside joins.
TEST(KindPartsTest, ReadsACsvRowOpenAcrossTheCutAgain) {
  expectPartsReadAsWhole(kKindCsv, {
                                       "\"FullName\",\"Length\"",
                                       "\"a\",\"1\"",
                                       "\"two",
                                       "lines\",\"1024\"",
                                       "\"b\",\"\"",
                                       "\"three",
                                       "",
                                       "lines\",\"10240\"",
                                       "\"c\",\"102400\"",
                                   });
}

// A robocopy log: a job's files, retries after error lines (the file just
// before the cut, its error and its retry after it), a header's options,
// a file line of a class left out, the job's summary, then a second job
// with its own.
// A cut between a file and its error makes the part read again; one in the
// second job too (its checks need the whole job).
TEST(KindPartsTest, ReadsARobocopyJobInPartsAndItsRetriesAsWhole) {
  std::vector<std::string> lines = {
      "-------------------------------------------------------------------------------",
      "   ROBOCOPY     ::     test",
      "-------------------------------------------------------------------------------",
      "  Options : *.* /S /E /BYTES",
      "\t                   0\tD:\\Users\\",
      "\t  New Dir          3\tD:\\Users\\ana\\",
      "\t    New File  \t\t     282\tdesktop.ini",
      "\t    New File  \t\t 6000000\tmail.pst",
      "2026/12/08 22:00:05 ERROR 32 (0x00000020) Copying File D:\\Users\\ana\\mail.pst",
      "The file is held open elsewhere.",
      "\t    New File  \t\t 6000000\tmail.pst",
      "\t    same      \t\t     100\tsame.txt",
      "2026/12/08 22:00:06 ERROR 32 (0x00000020) Copying File D:\\Users\\ana\\mail.pst",
      "\t    New File  \t\t 6000000\tmail.pst",
      "\t  New Dir          1\tD:\\Users\\ben\\",
      "\t    Newer     \t\t    1024\tb.txt",
      "               Total    Copied   Skipped  Mismatch    FAILED    Extras",
      "    Dirs :         3         3         0         0         0         0",
      "   Files :         4         3         1         0         0         0",
      "   Bytes :   6001406   6001306       100         0         0         0",
      "-------------------------------------------------------------------------------",
      "   ROBOCOPY     ::     test",
      "-------------------------------------------------------------------------------",
      "\t                   0\tE:\\Data\\",
      "\t    New File  \t\t    5120\tx.bin",
      "               Total    Copied   Skipped  Mismatch    FAILED    Extras",
      "    Dirs :         1         1         0         0         0         0",
      "   Files :         1         1         0         0         0         0",
      "   Bytes :      5120      5120         0         0         0         0",
  };
  // One job alone, whose parts join; then with the second job after it.
  expectPartsReadAsWhole(kKindRobocopy, std::vector<std::string>(lines.begin(), lines.begin() + 16),
                         5);
  expectPartsReadAsWhole(kKindRobocopy, lines, 5);
  // The second job cut off before its summary: the first job's check still
  // needs all of the first job.
  expectPartsReadAsWhole(kKindRobocopy, std::vector<std::string>(lines.begin(), lines.end() - 4),
                         5);
}

}  // namespace
