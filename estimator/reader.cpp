#include "reader.h"

#include <cerrno>
#include <cstring>

namespace {

// A piece needs one character more than its own length in view: a carriage
// return in its last place may be the first half of a line end.
const std::size_t kLookahead = kMaxPiece + 1;
const std::size_t kBlockSize = 1 << 20;
const unsigned char kEndOfText = 26;

std::FILE* gStream = nullptr;
unsigned char gBlock[kBlockSize];
std::size_t gPos = 0;       // start of the next piece in gBlock
std::size_t gEnd = 0;       // end of the text read so far
bool gInputEnded = false;   // end of file, byte 26 or a read error
int gReadErrno = 0;

// Reads more text after what is left, so that at least kLookahead characters
// lie ahead of gPos unless the input ends first.
void refill() {
  std::size_t nLeft = gEnd - gPos;
  std::memmove(gBlock, gBlock + gPos, nLeft);
  gPos = 0;
  gEnd = nLeft;
  while (!gInputEnded && gEnd < kLookahead) {
    errno = 0;
    std::size_t nRead = std::fread(gBlock + gEnd, 1, kBlockSize - gEnd, gStream);
    if (nRead == 0) {
      if (std::ferror(gStream)) gReadErrno = errno != 0 ? errno : EIO;
      gInputEnded = true;
    }
    void* pStop = std::memchr(gBlock + gEnd, kEndOfText, nRead);
    if (pStop != nullptr) {
      nRead = static_cast<std::size_t>(static_cast<unsigned char*>(pStop) - (gBlock + gEnd));
      gInputEnded = true;
    }
    gEnd += nRead;
  }
}

}  // namespace

void startReading(std::FILE* stream) {
  gStream = stream;
  gPos = gEnd = 0;
  gInputEnded = false;
  gReadErrno = 0;
}

bool readPiece(char* szLine) {
  if (gEnd - gPos < kLookahead) refill();
  std::size_t nAhead = gEnd - gPos;
  if (nAhead == 0) return false;

  const unsigned char* pStart = gBlock + gPos;
  std::size_t nWindow = nAhead < kLookahead ? nAhead : kLookahead;
  const void* pFound = std::memchr(pStart, '\n', nWindow);
  std::size_t nTake;  // characters of the piece, as read
  std::size_t nUsed;  // bytes of input it consumes
  if (pFound != nullptr) {
    std::size_t nLineFeed = static_cast<std::size_t>(static_cast<const unsigned char*>(pFound) - pStart);
    bool bCrLf = nLineFeed > 0 && pStart[nLineFeed - 1] == '\r';
    std::size_t nText = bCrLf ? nLineFeed : nLineFeed + 1;  // the line once CR LF is LF
    if (nText <= kMaxPiece) {
      std::memcpy(szLine, pStart, nText);
      szLine[nText - 1] = '\n';
      szLine[nText] = '\0';
      gPos += nLineFeed + 1;
      return true;
    }
  }
  // No line end within reach: a full piece, or the rest of the input. Such a
  // piece never holds the carriage return of a CR LF pair, which lies beyond
  // kMaxPiece characters.
  nTake = nAhead < kMaxPiece ? nAhead : kMaxPiece;
  nUsed = nTake;
  std::memcpy(szLine, pStart, nTake);
  szLine[nTake] = '\0';
  gPos += nUsed;
  return true;
}

int readError() { return gReadErrno; }
