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
  bool operator==(const Tally& o) const {
    return sizes == o.sizes && nObjects == o.nObjects && nFolderGuess == o.nFolderGuess &&
           nUnread == o.nUnread;
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
}

// Reads the lines whole, and in two parts cut before each line after the
// first (which the reader reads before the parts, as the lines held while
// the kind is decided): the second part from where the parts begin, joined,
// or read again where it does not fit. Each cut must count as the whole.
void expectPartsReadAsWhole(int nKind, const std::vector<std::string>& lines) {
  auto start = std::make_unique<KindReader>();
  startKindReader(*start, nKind, CivilDate{2026, 12, 9}, false, false);
  Tally head;
  readLines(*start, lines, 0, 1, head);
  auto whole = std::make_unique<KindReader>(*start);
  Tally expected = head;
  readLines(*whole, lines, 1, lines.size(), expected);
  finish(*whole, expected);
  for (std::size_t nCut = 1; nCut < lines.size(); nCut++) {
    auto first = std::make_unique<KindReader>(*start);
    auto part = std::make_unique<KindReader>();
    Tally got = head;
    readLines(*first, lines, 1, nCut, got);
    startKindPart(*part, *start);
    Tally partTally;
    readLines(*part, lines, nCut, lines.size(), partTally);
    if (kindBlockFits(*first, *start)) {
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

}  // namespace
