#include "streamrun.h"

#include <cinttypes>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "reports/output.h"
#include "reports/progress.h"
#include "run.h"

namespace {

// The text taken from the reader at a time.
const std::size_t kStreamBlock = std::size_t{1} << 16;

// -dv: each object counted, with its path, as a line of another kind is echoed.
void echoEntry(const Run& run, const Entry& entry) {
  outFormat("%s( object: ", kindName(run.kinds.nKind));
  if (entry.pFolder != nullptr) {
    outWrite(entry.pFolder, entry.nFolder);
    outText("/");
  }
  const std::string& sName = ncduEntryName(run.kinds.ncdu);
  outWrite(sName.data(), sName.size());
  outFormat(", data: %" PRIu64 " )\n", entry.nSize);
}

// Counts every entry the bytes fed so far complete.
void countFedEntries(Run& run) {
  Entry entry;
  while (nextNcduEntry(run.kinds.ncdu, entry)) {
    run.kinds.nObjects++;
    if (bVerbose) echoEntry(run, entry);
    countEntry(run, entry);
  }
}

// Feeds one line of the listing, and the line feed it ended with, which
// the reader took from it.
void feedLine(Run& run, const char* p, std::size_t n, bool bLineFeed) {
  static const char kLineFeed = '\n';
  feedNcdu(run.kinds.ncdu, p, n);
  countFedEntries(run);
  if (!bLineFeed) return;
  feedNcdu(run.kinds.ncdu, &kLineFeed, 1);
  countFedEntries(run);
}

// Feeds a block of the rest of the text and counts what it completes;
// every 16 blocks, shows how far the reading is (nBytesRead).
void feedBlock(Run& run, const unsigned char* p, std::size_t n, std::uint64_t nBytesRead,
               std::uint64_t& nBlocks) {
  feedNcdu(run.kinds.ncdu, reinterpret_cast<const char*>(p), n);
  countFedEntries(run);
  if (++nBlocks % 16 == 0) showProgress(run.progress, nBytesRead, 0, run.kinds.nObjects);
}

// The text read ahead by a thread of its own, while the main thread parses
// what was read before: a ring of blocks, each with the bytes the reader
// had taken from the file when it was read, and the plain objects in the
// first part of it read ahead too (most of the parsing). The part follows
// the work: larger while the parser keeps this thread waiting, smaller
// while this thread keeps the parser waiting.
struct ReadAhead {
  static const std::size_t kShares = 64;  // the part, in 64ths of a block
  static const std::size_t kBlocks = 3;
  std::vector<unsigned char> aBlocks[kBlocks];
  NcduAhead aObjects[kBlocks];
  std::size_t anLength[kBlocks] = {};
  std::uint64_t anBytesRead[kBlocks] = {};
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t nFilled = 0;  // blocks read, and taken by the parser, since the start
  std::size_t nTaken = 0;
  bool bEnded = false;  // the reader has no more text
  std::size_t nShare = 40;
};

void readAhead(Reader& reader, ReadAhead& ahead) {
  for (;;) {
    std::size_t i;
    std::size_t nShare;
    {
      std::unique_lock<std::mutex> lock(ahead.mutex);
      if (ahead.nFilled - ahead.nTaken == ReadAhead::kBlocks && ahead.nShare < ReadAhead::kShares) {
        ahead.nShare++;
      }
      ahead.changed.wait(lock, [&] { return ahead.nFilled - ahead.nTaken < ReadAhead::kBlocks; });
      i = ahead.nFilled % ReadAhead::kBlocks;
      nShare = ahead.nShare;
    }
    std::vector<unsigned char>& block = ahead.aBlocks[i];
    std::size_t n = takeText(reader, block.data(), block.size());
    std::uint64_t nBytesRead = bytesRead(reader);
    readNcduAhead(reinterpret_cast<const char*>(block.data()), n, n / ReadAhead::kShares * nShare,
                  ahead.aObjects[i]);
    {
      std::lock_guard<std::mutex> lock(ahead.mutex);
      if (n == 0) {
        ahead.bEnded = true;
      } else {
        ahead.anLength[i] = n;
        ahead.anBytesRead[i] = nBytesRead;
        ahead.nFilled++;
      }
    }
    ahead.changed.notify_all();
    if (n == 0) return;
  }
}

// The rest of the text, read by a thread of its own while this one parses:
// the reader is not touched here until that thread has ended.
void feedReadAhead(Run& run) {
  ReadAhead ahead;
  for (std::vector<unsigned char>& block : ahead.aBlocks) block.resize(kStreamBlock);
  std::thread reading(readAhead, std::ref(run.reader), std::ref(ahead));
  std::uint64_t nBlocks = 0;
  for (;;) {
    std::size_t i;
    {
      std::unique_lock<std::mutex> lock(ahead.mutex);
      if (ahead.nFilled == ahead.nTaken && !ahead.bEnded && ahead.nShare > 0) ahead.nShare--;
      ahead.changed.wait(lock, [&] { return ahead.nFilled > ahead.nTaken || ahead.bEnded; });
      if (ahead.nFilled == ahead.nTaken) break;
      i = ahead.nTaken % ReadAhead::kBlocks;
    }
    useNcduAhead(run.kinds.ncdu, &ahead.aObjects[i]);
    feedBlock(run, ahead.aBlocks[i].data(), ahead.anLength[i], ahead.anBytesRead[i], nBlocks);
    useNcduAhead(run.kinds.ncdu, nullptr);
    {
      std::lock_guard<std::mutex> lock(ahead.mutex);
      ahead.nTaken++;
    }
    ahead.changed.notify_all();
  }
  reading.join();
}

}  // namespace

void takeStreamListing(Run& run, const Piece& first) {
  run.kinds.ncdu.bEntryNames = bVerbose;
  // The line the kind was decided on, and any held after it: whole, with
  // the rest of a cut line that was kept for --top.
  std::string sRest;
  Piece piece = first;
  for (bool bMore = true; bMore;) {
    sRest.clear();
    if (piece.bCut) readRestOfListingLine(run.reader, run.decision, piece, sRest);
    feedLine(run, piece.szText, piece.nLength, !piece.bCut && piece.bLineFeed);
    if (!sRest.empty()) feedLine(run, sRest.data(), sRest.size(), false);
    bMore = run.decision.bReplaying && replayPiece(run.decision, piece);
  }
  // The rest of the text: the rest of the last line, if it was cut, first.
  resumeCutLine(run.reader);
  if (run.nReadThreads > 1 && !bVerbose) {
    feedReadAhead(run);
  } else {
    std::vector<unsigned char>& text = run.streamText;
    text.resize(kStreamBlock);
    std::uint64_t nBlocks = 0;
    for (;;) {
      std::size_t n = takeText(run.reader, text.data(), text.size());
      if (n == 0) break;
      feedBlock(run, text.data(), n, bytesRead(run.reader), nBlocks);
    }
  }
  endNcdu(run.kinds.ncdu);
  countFedEntries(run);
}
