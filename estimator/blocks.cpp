#include "blocks.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "reports/progress.h"
#include "run.h"
#include "sources/kindblocks.h"
#include "tallies/owntotals.h"

namespace {

// The text a block can hold: a reader's block, less the room a last read
// of at least kReadMin bytes needs.
const std::size_t kReadMin = std::size_t{1} << 14;
const std::size_t kBlockRoom = kBlockSize - kReadMin;

// Returns the last line feed in the n bytes at p, or nullptr.
const unsigned char* lastLineFeed(const unsigned char* p, std::size_t n) {
  while (n > 0) {
    if (p[--n] == '\n') return p + n;
  }
  return nullptr;
}

// What the main thread keeps between blocks as it reads the text.
struct Producer {
  Reader* pReader = nullptr;
  std::size_t nTarget = kDefaultReadBlock;  // a block ends at the first line end from here
  bool bKeepRests = false;
  bool bEnded = false;
  std::string sCarry;  // text read past the last block's end
  // With more than one thread (bMayRange), a listing that is a regular file
  // is cut into ranges that the threads read themselves, by offset: the main
  // thread reads only a little around each block's end. bRanges: from
  // nOffset on, up to the file's size; nStreamBlocks: blocks read from the
  // stream before ranges are tried again.
  bool bMayRange = false;
  bool bRanges = false;
  std::uint64_t nOffset = 0;
  std::uint64_t nFileSize = 0;
  int nStreamBlocks = 0;
};

// Reads more text after the n bytes in the block: about up to the target and
// a line past it. Returns the number of bytes read; 0 when the text ended.
std::size_t readMore(Producer& producer, unsigned char* p, std::size_t n) {
  std::size_t nWant = producer.nTarget + 512 > n ? producer.nTarget + 512 - n : 0;
  if (nWant < kReadMin) nWant = kReadMin;
  if (nWant > kBlockSize - n) nWant = kBlockSize - n;
  std::size_t nRead = takeText(*producer.pReader, p + n, nWant);
  if (nRead == 0) producer.bEnded = true;
  return nRead;
}

// The rest of a line the block ends in, past what the block holds of it:
// read on to its line end, kept for the block when rests are kept (the text
// after the line end is carried to the next block).
void readRestOfCutLine(Producer& producer, BlockLines& block, const unsigned char* pFrom,
                       std::size_t n) {
  unsigned char aChunk[1 << 14];
  for (;;) {
    const void* pLf = std::memchr(pFrom, '\n', n);
    std::size_t nRest =
        pLf != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(pLf) - pFrom)
                       : n;
    if (producer.bKeepRests) block.sOverflow.append(reinterpret_cast<const char*>(pFrom), nRest);
    if (pLf != nullptr) {
      block.bOverflowLineFeed = true;
      producer.sCarry.assign(reinterpret_cast<const char*>(pFrom) + nRest + 1, n - nRest - 1);
      return;
    }
    n = takeText(*producer.pReader, aChunk, sizeof aChunk);
    if (n == 0) {
      producer.bEnded = true;
      return;
    }
    pFrom = aChunk;
  }
}

// The length of the block of text at the producer's offset: up to the
// first line end at or past the target, where the line that holds the
// target is shorter than kMaxLine (fillBlock cuts no such line), or the
// rest of the file when it ends before the target. Returns false when the
// stream is to cut the block (a long line, a byte 26, the file's end).
bool rangeLength(const Producer& producer, std::size_t& nLength) {
  const std::uint64_t nLeft = producer.nFileSize - producer.nOffset;
  const std::size_t nTarget = producer.nTarget > 0 ? producer.nTarget : 1;
  if (nLeft == 0) return false;
  if (nLeft <= nTarget - 1) {  // no byte to search for a line end
    nLength = static_cast<std::size_t>(nLeft);
    return true;
  }
  // The bytes around the first searched: back to its line's start, on to
  // its line's end, for lines shorter than kMaxLine.
  const std::uint64_t nAt = producer.nOffset + nTarget - 1;
  const std::uint64_t nFrom = nAt - std::min<std::uint64_t>(kMaxLine, nTarget - 1);
  unsigned char aWindow[2 * kMaxLine + 2];
  TextEnd end;
  std::size_t n = readTextAt(*producer.pReader, nFrom, aWindow, sizeof aWindow, end);
  if (nFrom + n <= nAt) return false;
  const unsigned char* pAt = aWindow + (nAt - nFrom);
  const void* pFound = std::memchr(pAt, '\n', static_cast<std::size_t>(aWindow + n - pAt));
  if (pFound == nullptr) return false;
  const auto* pLineFeed = static_cast<const unsigned char*>(pFound);
  const unsigned char* pLast = lastLineFeed(aWindow, static_cast<std::size_t>(pAt - aWindow));
  if (pLast == nullptr && nFrom > producer.nOffset) return false;
  const unsigned char* pLineStart = pLast != nullptr ? pLast + 1 : aWindow;
  if (pLineFeed - pLineStart >= static_cast<std::ptrdiff_t>(kMaxLine)) return false;
  nLength = static_cast<std::size_t>(nFrom - producer.nOffset) +
            static_cast<std::size_t>(pLineFeed - aWindow) + 1;
  return true;
}

// Marks the next block out as a range of the file that its thread reads,
// when the text may be read so from here. Returns false when the stream is
// to fill it: the reader then reads on from where the ranges ended.
bool fillRange(Producer& producer, BlockLines& block) {
  if (!producer.bRanges) {
    if (!producer.bMayRange || producer.bEnded) return false;
    if (producer.nStreamBlocks > 0) {
      producer.nStreamBlocks--;
      return false;
    }
    if (!textReadableByOffset(*producer.pReader, producer.nOffset, producer.nFileSize) ||
        producer.nOffset < producer.sCarry.size()) {
      return false;
    }
    producer.nOffset -= producer.sCarry.size();  // the carried text is read again
    producer.sCarry.clear();
    producer.bRanges = true;
  }
  std::size_t nLength = 0;
  if (!rangeLength(producer, nLength)) {
    producer.bRanges = false;
    producer.nStreamBlocks = 1;
    resumeReadingAt(*producer.pReader, producer.nOffset);
    return false;
  }
  block.bRange = true;
  block.nRangeStart = producer.nOffset;
  block.pRangeSource = producer.pReader;
  block.nText = nLength;
  block.sOverflow.clear();
  block.bOverflow = block.bOverflowLineFeed = false;
  producer.nOffset += nLength;
  return true;
}

// Fills the block with the text that follows: whole lines, up to the first
// line end at or past the target. A line that holds the target and runs
// past kMaxLine + 1 bytes ends the block, cut there; the reader of the block
// cuts it as it cuts any such line. Returns false when no text is left.
bool fillBlock(Producer& producer, BlockLines& block) {
  block.bRange = false;
  if (fillRange(producer, block)) return true;
  unsigned char* p = block.pReader->aBlock;
  std::size_t n = producer.sCarry.size();
  std::copy(producer.sCarry.begin(), producer.sCarry.end(), p);
  producer.sCarry.clear();
  block.sOverflow.clear();
  block.bOverflow = block.bOverflowLineFeed = false;
  const std::size_t nTarget = producer.nTarget > 0 ? producer.nTarget : 1;
  std::size_t nScanned = nTarget - 1;  // the first byte not yet searched for the line end
  std::size_t nLineStart = SIZE_MAX;   // where the line that holds the target starts
  for (;;) {
    if (n > nScanned) {
      const void* pLf = std::memchr(p + nScanned, '\n', n - nScanned);
      if (pLf != nullptr) {
        std::size_t nEnd = static_cast<std::size_t>(static_cast<const unsigned char*>(pLf) - p) + 1;
        producer.sCarry.assign(reinterpret_cast<const char*>(p) + nEnd, n - nEnd);
        block.nText = nEnd;
        return true;
      }
      nScanned = n;
      if (nLineStart == SIZE_MAX) {
        const unsigned char* pLast = lastLineFeed(p, nTarget - 1);
        nLineStart = pLast != nullptr ? static_cast<std::size_t>(pLast - p) + 1 : 0;
      }
      if (n - nLineStart >= kMaxLine + 2 || n >= kBlockRoom) {
        std::size_t nEnd = nLineStart + kMaxLine + 2 < n ? nLineStart + kMaxLine + 2 : n;
        block.bOverflow = true;
        readRestOfCutLine(producer, block, p + nEnd, n - nEnd);
        block.nText = nEnd;
        return true;
      }
    }
    if (producer.bEnded) break;
    n += readMore(producer, p, n);
  }
  block.nText = n;
  return n > 0;
}

// The blocks in flight, and the threads that read them.
struct Blocks {
  std::vector<BlockLines> slots;
  std::mutex mutex;
  std::condition_variable work;  // a block waits to be read, or the end
  std::condition_variable done;  // a block was read
  std::deque<std::size_t> queue;
  std::vector<bool> abDone;
  bool bStop = false;
};

// Reads a block handed out: its range first, when it is one.
void readHandedBlock(BlockLines& block) {
  if (block.bRange) {
    block.nText = readTextAt(*block.pRangeSource, block.nRangeStart, block.pReader->aBlock,
                             block.nText, block.rangeEnd);
  }
  readBlockLines(block);
}

void readQueuedBlocks(Blocks& blocks) {
  for (;;) {
    std::size_t i;
    {
      std::unique_lock<std::mutex> lock(blocks.mutex);
      blocks.work.wait(lock, [&] { return blocks.bStop || !blocks.queue.empty(); });
      if (blocks.queue.empty()) return;
      i = blocks.queue.front();
      blocks.queue.pop_front();
    }
    readHandedBlock(blocks.slots[i]);
    {
      std::lock_guard<std::mutex> lock(blocks.mutex);
      blocks.abDone[i] = true;
    }
    blocks.done.notify_all();
  }
}

// Waits until block i is read. With bHelp, the main thread reads the
// blocks that no thread has begun meanwhile, rather than sleep: a wait and
// a wake for every block cost more than the reading of its range. Its own
// tallies are set apart while it counts into the block's.
void waitForBlock(Blocks& blocks, std::size_t i, bool bHelp) {
  std::unique_lock<std::mutex> lock(blocks.mutex);
  while (!blocks.abDone[i]) {
    if (!bHelp || blocks.queue.empty()) {
      blocks.done.wait(lock);
      continue;
    }
    std::size_t j = blocks.queue.front();
    blocks.queue.pop_front();
    lock.unlock();
    ClassTally own;
    takeThreadTallies(own);
    readHandedBlock(blocks.slots[j]);
    addClassTally(own);
    lock.lock();
    blocks.abDone[j] = true;
  }
}

// The text of a line kept in a block.
const char* keptText(const BlockLines& block, const LineRecord& record) {
  return record.bCopied ? block.sCopies.data() + record.nText
                        : reinterpret_cast<const char*>(block.pReader->aBlock) + record.nText;
}

// A block of a kind read in parts, in the listing's order: joined to what
// was read before it, or, where the reader before it no longer reads lines
// as the block's reader did, read again on the main thread as one thread
// reads it (its line ends were put back as they were).
void takeKindPart(Run& run, const BlockLines& block) {
  if (!kindBlockFits(run.kinds, *block.pKindStart, *block.pKinds)) {
    Reader& reader = *block.pReader;
    startReadingBlock(reader, block.nText);
    Piece piece;
    while (readPiece(reader, piece)) takeKindLine(run, piece);
    return;
  }
  Entry entry;
  if (joinKindPart(run.kinds, *block.pKinds, entry)) countEntry(run, entry);
  addIntoTally(run.counted, block.counted);
}

// Takes a block that was read, in the listing's order: its tallies join the
// main thread's, and its lines kept go on as the reading loop hands them on.
void takeBlock(Run& run, const BlockLines& block, std::uint64_t& nLines) {
  if (block.bRange) run.reader.nBytesRead = block.nRangeStart + block.nText;
  if (block.pKinds != nullptr) takeKindPart(run, block);
  addClassTally(block.tally);
  run.line.nArrowFiles += block.facts.nArrowFiles;
  run.line.nUnitSizes += block.facts.nUnitSizes;
  joinOwnTotals(run.ownTotals, nLines, block.ownTotals);
  for (const LineRecord& record : block.records) {
    const char* pText = keptText(block, record);
    Piece piece{pText, record.nLength, record.bLineFeed, record.bCut};
    if (!block.bParse) {
      takeKindLine(run, piece);
      continue;
    }
    run.line.pSizeEnd = pText + record.nSizeEnd;
    run.pBlockRest = record.bRest ? block.sCopies.data() + record.nRest : nullptr;
    run.nBlockRest = record.nRestLength;
    takeLineExtras(run, piece, block.sData.data() + record.nData);
  }
  run.pBlockRest = nullptr;
  if ((nLines + block.nLines) / 16384 != nLines / 16384) {
    showProgress(run.progress, bytesRead(run.reader), nLines + block.nLines, filesCounted());
  }
  nLines += block.nLines;
}

// After a block read by offset in which the text ended (a byte 26, a read
// that failed, a file cut short), the reader ends as the stream would have
// ended it. Returns true then.
bool endsText(Run& run, Producer& producer, const BlockLines& block) {
  if (!block.bRange || !block.rangeEnd.bEnded) return false;
  endTextAt(run.reader, block.nRangeStart + block.nText, block.rangeEnd);
  producer.bEnded = true;
  producer.bRanges = false;
  return true;
}

// With pKindStart, the listing is of a kind read in parts: each block reads
// it from there.
void startSlots(const Run& run, Blocks& blocks, std::size_t nSlots, const KindReader* pKindStart) {
  blocks.slots.resize(nSlots);
  blocks.abDone.assign(nSlots, false);
  const bool bOtherKind = nParseType == kParseListing && listingKind(run.decision) != kKindDir;
  for (BlockLines& block : blocks.slots) {
    // Not zeroed: a block's text is a quarter of the reader's room, and the
    // pages never written are never touched.
    block.pReader.reset(new Reader);
    block.bParse = !bOtherKind;
    block.bCount = (!bOtherKind || pKindStart != nullptr) && !run.bExtras;
    block.bKeepRests = run.options.nTop > 0;
    if (pKindStart != nullptr) {
      block.pKinds.reset(new KindReader());
      block.pKindStart = pKindStart;
    }
  }
}

// In a plain run of a kind read in parts, where each block reads it from:
// the kind's reader as the lines read before the blocks left it.
std::unique_ptr<KindReader> kindStartOf(const Run& run) {
  const int nKind = listingKind(run.decision);
  if (nParseType != kParseListing || nKind == kKindDir || run.bExtras || run.kinds.nKind != nKind ||
      !kindReadsInParts(nKind)) {
    return nullptr;
  }
  return std::unique_ptr<KindReader>(new KindReader(run.kinds));
}

// One thread: each block read and taken in turn.
std::uint64_t readOnThisThread(Run& run, Producer& producer, BlockLines& block,
                               std::uint64_t nLines) {
  while (fillBlock(producer, block)) {
    readBlockLines(block);
    takeBlock(run, block, nLines);
  }
  return nLines;
}

}  // namespace

void takeThreadTallies(ClassTally& tally) {
  for (int k = 0; k < kClasses; k++) {
    tally.anFiles[k] = classFilesOf(k);
    tally.anBytes[k] = toUint64(classBytesOf(k));
    tally.abPassedMax[k] = classPassedMaxOf(k);
    classFilesOf(k) = 0;
    classBytesOf(k) = Make64(0);
    classPassedMaxOf(k) = false;
  }
  tally.nTooLarge = nTooLarge;
  tally.nNoDigitSizes = nNoDigitSizes;
  nTooLarge = nNoDigitSizes = 0;
}

void addClassTally(const ClassTally& tally) {
  for (int k = 0; k < kClasses; k++) {
    classFilesOf(k) += tally.anFiles[k];
    std::uint64_t nBytes = toUint64(classBytesOf(k));
    if (nBytes > ~std::uint64_t{0} - tally.anBytes[k] || tally.abPassedMax[k]) {
      classPassedMaxOf(k) = true;
    }
    classBytesOf(k) = toInt64(addSaturating(nBytes, tally.anBytes[k]));
  }
  nTooLarge += tally.nTooLarge;
  nNoDigitSizes += tally.nNoDigitSizes;
}

void startBlockLines(BlockLines& block) {
  startReadingBlock(*block.pReader, block.nText);
  block.nLines = 0;
  block.records.clear();
  block.sData.clear();
  block.sCopies.clear();
  block.facts = LineFacts();
  block.tally = ClassTally();
  block.ownTotals = OwnTotalsRange();
  if (block.pKinds != nullptr) {
    startKindPart(*block.pKinds, *block.pKindStart);
    block.counted = ClassTally();
  }
}

void countBlockKindLine(BlockLines& block, const Piece& piece) {
  Entry entry;
  if (readKindLine(*block.pKinds, piece, entry)) countIntoTally(block.counted, entry.nSize);
  // The reader ended the line with a NUL in the block's text: the line end
  // is put back, so that the main thread can read the block again.
  Reader& reader = *block.pReader;
  char* pText = reinterpret_cast<char*>(reader.aBlock);
  if (piece.bCut || piece.szText < pText || piece.szText >= pText + reader.nEnd) return;
  std::size_t nNul = static_cast<std::size_t>(piece.szText - pText) + piece.nLength;
  if (nNul + 1 == reader.nPos) {
    pText[nNul] = '\n';
  } else if (nNul + 2 == reader.nPos) {
    pText[nNul] = '\r';
  }
}

void keepBlockLine(BlockLines& block, const Piece& piece, const char* szData) {
  LineRecord record;
  record.nLine = block.nLines;
  record.nLength = piece.nLength;
  record.bLineFeed = piece.bLineFeed;
  record.bCut = piece.bCut;
  const char* pBlock = reinterpret_cast<const char*>(block.pReader->aBlock);
  if (piece.bCut) {  // the reader keeps a cut line's text apart, for this line only
    record.bCopied = true;
    record.nText = block.sCopies.size();
    block.sCopies.append(piece.szText, kMaxLine + 1 + kPieceSlack);
  } else {
    record.nText = static_cast<std::size_t>(piece.szText - pBlock);
  }
  if (szData != nullptr) {
    std::ptrdiff_t nSizeEnd = block.facts.pSizeEnd - piece.szText;
    record.nSizeEnd = nSizeEnd >= 0 && static_cast<std::size_t>(nSizeEnd) <= piece.nLength
                          ? static_cast<std::size_t>(nSizeEnd)
                          : 0;
    record.nData = block.sData.size();
    block.sData.append(szData, std::strlen(szData) + 1);
  }
  if (piece.bCut && block.bKeepRests) {
    std::string& sRest = block.sRest;
    sRest.clear();
    readRestOfLine(*block.pReader, sRest);
    const Reader& reader = *block.pReader;
    if (block.bOverflow && reader.nPos == reader.nEnd) {  // the block's last line
      sRest += block.sOverflow;
      if (block.bOverflowLineFeed && !sRest.empty() && sRest.back() == '\r') sRest.pop_back();
    }
    record.bRest = true;
    record.nRest = block.sCopies.size();
    record.nRestLength = sRest.size();
    block.sCopies += sRest;
  }
  block.records.push_back(record);
}

bool blocksMayStart(const Run& run) { return kindPartsMayStart(run.kinds); }

std::uint64_t readInBlocks(Run& run, std::uint64_t nLines, int nThreads, std::size_t nBlockBytes) {
  Producer producer;
  producer.pReader = &run.reader;
  producer.nTarget = nBlockBytes < kBlockRoom / 2 ? nBlockBytes : kBlockRoom / 2;
  producer.bKeepRests = run.options.nTop > 0;
  producer.bMayRange = nThreads > 1;
  Blocks blocks;
  const std::unique_ptr<KindReader> pKindStart = kindStartOf(run);
  if (nThreads <= 1) {
    startSlots(run, blocks, 1, pKindStart.get());
    return readOnThisThread(run, producer, blocks.slots[0], nLines);
  }
  const std::size_t nSlots = static_cast<std::size_t>(nThreads) * 2;
  startSlots(run, blocks, nSlots, pKindStart.get());
  // Where the main thread's own reading is light, it is one of the threads.
  const bool bHelp = readsLightly(run.reader);
  std::vector<std::thread> threads;
  for (int i = bHelp ? 1 : 0; i < nThreads; i++) {
    threads.emplace_back(readQueuedBlocks, std::ref(blocks));
  }
  std::size_t nFilled = 0;  // blocks handed out, and taken back, in order
  std::size_t nTaken = 0;
  bool bMore = true;
  while (bMore || nTaken < nFilled) {
    while (bMore && nFilled - nTaken < nSlots) {
      BlockLines& block = blocks.slots[nFilled % nSlots];
      bMore = fillBlock(producer, block);
      if (!bMore) break;
      {
        std::lock_guard<std::mutex> lock(blocks.mutex);
        blocks.abDone[nFilled % nSlots] = false;
        blocks.queue.push_back(nFilled % nSlots);
      }
      blocks.work.notify_one();
      nFilled++;
    }
    if (nTaken == nFilled) break;
    std::size_t i = nTaken % nSlots;
    waitForBlock(blocks, i, bHelp);
    takeBlock(run, blocks.slots[i], nLines);
    nTaken++;
    if (endsText(run, producer, blocks.slots[i])) break;  // what follows is not the listing's
  }
  {
    std::lock_guard<std::mutex> lock(blocks.mutex);
    blocks.bStop = true;
  }
  blocks.work.notify_all();
  for (std::thread& thread : threads) thread.join();
  return nLines;
}
