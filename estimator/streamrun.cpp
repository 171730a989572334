#include "streamrun.h"

#include <cinttypes>
#include <cstdio>
#include <string>

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

}  // namespace

void takeStreamListing(Run& run, const Piece& first) {
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
  std::vector<unsigned char>& text = run.streamText;
  text.resize(kStreamBlock);
  std::uint64_t nBlocks = 0;
  for (;;) {
    std::size_t n = takeText(run.reader, text.data(), text.size());
    if (n == 0) break;
    feedNcdu(run.kinds.ncdu, reinterpret_cast<const char*>(text.data()), n);
    countFedEntries(run);
    if (++nBlocks % 16 == 0) {
      showProgress(run.progress, bytesRead(run.reader), 0, run.kinds.nObjects);
    }
  }
  endNcdu(run.kinds.ncdu);
  countFedEntries(run);
}
