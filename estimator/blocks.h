// A listing read on every core: its text cut into blocks of whole lines,
// each block's lines parsed on a thread of its own, and the blocks' results
// taken in their order on the main thread.
//
// The main thread reads the text (decoding it, and ending it at a byte 26,
// as one reader does), cuts it after a line end near every nBlockBytes and
// hands the blocks to the threads; a line longer than kMaxLine is cut as the
// reader cuts it, its rest read on by the main thread. A thread reads its
// block's lines with a reader of its own, parses them and, in a plain run,
// counts them into tallies of its own. The main thread then takes each
// block in order: it adds the block's tallies to its own, and hands every
// line that the options look at twice, or that a listing of another kind
// holds, to the run's wiring, in the order of the listing. So whatever
// depends on earlier lines (the folder a file is in, the order of dates,
// the listing's own totals, the calibration's steps, the kinds' own state)
// comes out as on one thread. In a plain run, a listing of a kind that
// reads in parts (sources/kindblocks.h) is read on the threads too, each
// block by a reader of the kind of its own, and joined in order. Memory is
// a few blocks per thread.
#ifndef PLOMET_ESTIMATOR_BLOCKS_H_
#define PLOMET_ESTIMATOR_BLOCKS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core.h"
#include "sources/listingkind.h"
#include "sources/reader.h"
#include "tallies/classes.h"
#include "tallies/owntotals.h"

struct Run;

/// Text taken at a time, unless asked otherwise (--read-block).
const std::size_t kDefaultReadBlock = std::size_t{1} << 18;

/// One line kept for the main thread.
struct LineRecord {
  std::uint64_t nLine = 0;   // its number within its block, from 1
  std::size_t nText = 0;     // where its text lies: in the block, or in sCopies
  std::size_t nLength = 0;   // as Piece::nLength
  std::size_t nSizeEnd = 0;  // where its size field ends, from its text's start
  std::size_t nData = 0;     // where its size text lies in sData
  std::size_t nRest = 0;     // the rest of a cut line: in sCopies, nRestLength bytes
  std::size_t nRestLength = 0;
  bool bCopied = false;  // the text lies in sCopies
  bool bLineFeed = false;
  bool bCut = false;
  bool bRest = false;  // the rest of a cut line was kept
};

/// A block of a listing and what its thread found in it: on cache lines of
/// its own, as the blocks in flight lie side by side and are each written
/// for every line on their threads.
struct alignas(64) BlockLines {
  std::unique_ptr<Reader> pReader;  // its text in pReader->aBlock
  std::size_t nText = 0;            // bytes of text in the block
  // What to do with the lines: count them (a plain run of a directory
  // listing, a log, or a kind read in parts, which is not parsed by the
  // core), or keep them for the main thread, parsed (other options) or not
  // (another kind of listing).
  // Text that its thread reads itself, by offset (bRange): from where, of
  // which listing, and how it ended. nText is then the length asked for.
  bool bRange = false;
  std::uint64_t nRangeStart = 0;
  const Reader* pRangeSource = nullptr;
  TextEnd rangeEnd;
  bool bCount = true;
  bool bParse = true;
  bool bKeepRests = false;         // keep the rest of each cut line, for --top
  bool bOverflow = false;          // the block ends in a line cut there
  std::string sOverflow;           // and its rest, past the block, when rests are kept
  bool bOverflowLineFeed = false;  // that rest ended at a line end
  std::uint64_t nLines = 0;        // lines read
  LineFacts facts;
  ClassTally tally;  // what was counted, in a plain run
  // A plain run of a kind read in parts (kindblocks.h): the block's own
  // reader of the kind, readied from where the blocks began, and the
  // objects it counted.
  std::unique_ptr<KindReader> pKinds;
  const KindReader* pKindStart = nullptr;
  ClassTally counted;
  OwnTotalsRange ownTotals;         // what a directory listing says of itself
  std::vector<LineRecord> records;  // the lines kept, in order
  std::string sData;                // their size texts, each ended by a NUL
  std::string sCopies;              // the text of cut lines and their rests
  std::string sRest;
  char szData[kMaxLine + 1] = {};
};

/// Starts reading a block's lines: its reader on its text, and nothing
/// found yet. Called by readBlockLines.
void startBlockLines(BlockLines& block);

/// Reads a line of a listing of another kind by the block's own reader of
/// the kind, and counts the object it is. Called by readBlockLines.
void countBlockKindLine(BlockLines& block, const Piece& piece);

/// Keeps a line of the block for the main thread, with its size text
/// (nullptr for a line of another kind) and, when the block keeps rests and
/// the line was cut, the rest of the line. Called by readBlockLines.
void keepBlockLine(BlockLines& block, const Piece& piece, const char* szData);

/// Returns true when a listing of another kind than dir may be read in
/// blocks from its next line on: a robocopy log once its job's source is
/// known (kindPartsMayStart), any other at once.
bool blocksMayStart(const Run& run);

/// Reads the rest of the listing from run.reader (after nLines lines read
/// before) in blocks on nThreads threads (1: all on this one), each block
/// about nBlockBytes of text, and hands its lines on as the reading loop
/// would. Returns the number of lines read in all.
std::uint64_t readInBlocks(Run& run, std::uint64_t nLines, int nThreads, std::size_t nBlockBytes);

#endif  // PLOMET_ESTIMATOR_BLOCKS_H_
