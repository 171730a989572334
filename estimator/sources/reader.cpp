#include "sources/reader.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "sources/utf16.h"

namespace {

// A whole line in view: its characters, a carriage return and the line feed.
const std::size_t kLookahead = kMaxLine + 2;
const std::size_t kBlockSize = 1 << 20;
const std::size_t kRawBlockSize = 1 << 19;  // UTF-16 input, before conversion
const std::size_t kSniffSize = 64;          // bytes that decide the encoding
const unsigned char kEndOfText = 26;

std::FILE* gStream = nullptr;
unsigned char gBlock[kBlockSize + kPieceSlack];
std::size_t gPos = 0;      // start of the next piece in gBlock
std::size_t gEnd = 0;      // end of the text read so far
bool gInputEnded = false;  // end of file, byte 26 or a read error
int gReadErrno = 0;
std::uint64_t gBytesRead = 0;
ReadFacts gFacts;
bool gAnyText = false;
bool gbLineFeed = false;
bool gbCarriageReturn = false;

// The raw bytes read to decide the encoding, handed out again before the rest.
unsigned char gPrefix[kSniffSize];
std::size_t gPrefixPos = 0;
std::size_t gPrefixLen = 0;
bool gRawEnded = false;

bool gUtf16 = false;
Utf16State gUtf16State;
unsigned char gRaw[kRawBlockSize];

// Reads up to n raw bytes of the file, the sniffed prefix first.
std::size_t readRaw(unsigned char* pDst, std::size_t n) {
  std::size_t nGot = 0;
  if (gPrefixPos < gPrefixLen) {
    nGot = gPrefixLen - gPrefixPos < n ? gPrefixLen - gPrefixPos : n;
    std::memcpy(pDst, gPrefix + gPrefixPos, nGot);
    gPrefixPos += nGot;
  }
  if (nGot == n || gRawEnded) return nGot;
  errno = 0;
  std::size_t nRead = std::fread(pDst + nGot, 1, n - nGot, gStream);
  gBytesRead += nRead;
  if (nRead < n - nGot) {  // a short read is the end of the file or an error
    gRawEnded = true;
    if (std::ferror(gStream)) gReadErrno = errno != 0 ? errno : EIO;
  }
  return nGot + nRead;
}

bool alternatesWithZero(const unsigned char* p, std::size_t n) {
  for (std::size_t i = 0; i + 1 < n; i += 2) {
    if (p[i] == 0 || p[i + 1] != 0) return false;
  }
  return true;
}

// Looks at the first bytes: a UTF-8 byte-order mark is dropped; a UTF-16
// mark, or ASCII text interleaved with zero bytes, selects UTF-16.
void sniffEncoding() {
  gPrefixLen = readRaw(gPrefix, kSniffSize);
  gPrefixPos = 0;
  gUtf16 = false;
  gUtf16State = Utf16State();
  if (gPrefixLen >= 3 && gPrefix[0] == 0xEF && gPrefix[1] == 0xBB && gPrefix[2] == 0xBF) {
    gPrefixPos = 3;
  } else if (gPrefixLen >= 2 && gPrefix[0] == 0xFF && gPrefix[1] == 0xFE) {
    gUtf16 = true;
    gPrefixPos = 2;
  } else if (gPrefixLen >= 2 && gPrefix[0] == 0xFE && gPrefix[1] == 0xFF) {
    gUtf16 = true;
    gUtf16State.bBigEndian = true;
    gPrefixPos = 2;
  } else if (gPrefixLen >= 8 && alternatesWithZero(gPrefix, gPrefixLen & ~std::size_t{1})) {
    gUtf16 = true;
  }
}

// True when every raw byte, the sniffed prefix included, has been handed out.
bool rawExhausted() { return gRawEnded && gPrefixPos == gPrefixLen; }

// Appends text after gEnd, n bytes at most, converting UTF-16 on the way.
// Returns the number of bytes added; 0 means the input has no more text.
std::size_t readText(std::size_t n) {
  if (!gUtf16) return readRaw(gBlock + gEnd, n);
  std::size_t nRawMax = (n / 3 - 4) * 2;  // so that utf16OutputLimit(nRawMax) <= n
  if (nRawMax > kRawBlockSize) nRawMax = kRawBlockSize;
  std::size_t nText = 0;
  while (nText == 0 && !rawExhausted()) {
    std::size_t nRaw = readRaw(gRaw, nRawMax);
    nText = decodeUtf16(gRaw, nRaw, rawExhausted(), gUtf16State, gBlock + gEnd);
  }
  return nText;
}

// True when the file has more bytes after the byte 26 that ended a block.
bool moreFollows() {
  unsigned char nPeek;
  return readRaw(&nPeek, 1) > 0;
}

// Once per block: the few facts that the warnings after the report need.
// Carriage returns matter only while no line feed has been seen.
void noteText(const unsigned char* p, std::size_t n) {
  if (n > 0) gAnyText = true;
  if (!gbLineFeed && !gbCarriageReturn && std::memchr(p, '\r', n) != nullptr) {
    gbCarriageReturn = true;
  }
}

// The last piece was cut and the rest of its line is still to be passed
// over. Meanwhile gEnd is held at gPos, so that the next read, finding nothing
// ahead, comes to refill, which passes it over first: the lines that are not
// cut pay nothing for this. The true end of the text is kept in gRestEnd.
bool gbRestPending = false;
std::size_t gRestEnd = 0;

void passRestOfLine(std::string* pKeep);

// Reads more text after what is left, so that at least kLookahead characters
// lie ahead of gPos unless the input ends first.
void refill() {
  if (gbRestPending) passRestOfLine(nullptr);
  std::size_t nLeft = gEnd - gPos;
  std::memmove(gBlock, gBlock + gPos, nLeft);
  gPos = 0;
  gEnd = nLeft;
  while (!gInputEnded && gEnd < kLookahead) {
    std::size_t nRead = readText(kBlockSize - gEnd);
    if (nRead == 0) gInputEnded = true;
    void* pStop = std::memchr(gBlock + gEnd, kEndOfText, nRead);
    if (pStop != nullptr) {
      std::size_t nText =
          static_cast<std::size_t>(static_cast<unsigned char*>(pStop) - (gBlock + gEnd));
      gFacts.bStoppedEarly = nText + 1 < nRead || moreFollows();
      nRead = nText;
      gInputEnded = true;
    }
    noteText(gBlock + gEnd, nRead);
    gEnd += nRead;
  }
}

// Passes over the rest of a line that was cut, up to and with its line feed,
// and appends its characters to *pKeep unless that is null.
void passRestOfLine(std::string* pKeep) {
  gbRestPending = false;
  gEnd = gRestEnd;
  std::size_t nKept = pKeep != nullptr ? pKeep->size() : 0;
  for (;;) {
    if (gPos == gEnd) {
      refill();
      if (gPos == gEnd) return;
    }
    const char* pFrom = reinterpret_cast<const char*>(gBlock + gPos);
    const void* pFound = std::memchr(pFrom, '\n', gEnd - gPos);
    std::size_t nTaken = pFound != nullptr
                             ? static_cast<std::size_t>(static_cast<const char*>(pFound) - pFrom)
                             : gEnd - gPos;
    if (pKeep != nullptr) pKeep->append(pFrom, nTaken);
    if (pFound != nullptr) {
      gPos += nTaken + 1;
      gbLineFeed = true;
      // CR LF is LF, also where the cut fell between them.
      if (pKeep != nullptr && pKeep->size() > nKept && pKeep->back() == '\r') pKeep->pop_back();
      return;
    }
    gPos = gEnd;
  }
}

}  // namespace

void startReading(std::FILE* stream) {
  gStream = stream;
  gPos = gEnd = 0;
  gInputEnded = false;
  gRawEnded = false;
  gReadErrno = 0;
  gPrefixPos = gPrefixLen = 0;  // nothing of an earlier stream is handed out
  gBytesRead = 0;
  gFacts = ReadFacts();
  gAnyText = false;
  gbLineFeed = gbCarriageReturn = false;
  gbRestPending = false;
  sniffEncoding();
}

// The line at pStart, of which nAhead characters are in view, when it is not
// a whole line of at most kMaxLine characters ending in a line feed: the last
// line, without one, where its NUL goes into the slack after the text; or a
// line to be cut, whose first characters are kept apart while the rest is
// passed over.
void readUnusualLine(char* pStart, std::size_t nAhead, Piece& piece) {
  piece.bLineFeed = false;
  if (nAhead <= kMaxLine) {
    pStart[nAhead] = '\0';
    gPos += nAhead;
    piece.szText = pStart;
    piece.nLength = nAhead;
    return;
  }
  static char szCut[kMaxLine + 1 + kPieceSlack];
  std::memcpy(szCut, pStart, kMaxLine);
  szCut[kMaxLine] = '\0';
  gPos += kMaxLine;
  gbRestPending = true;  // passed over at the next read, unless kept before it
  gRestEnd = gEnd;
  gEnd = gPos;
  piece.szText = szCut;
  piece.nLength = kMaxLine;
  piece.bCut = true;
}

bool readPiece(Piece& piece) {
  if (gEnd - gPos < kLookahead) refill();
  std::size_t nAhead = gEnd - gPos;
  if (nAhead == 0) return false;

  char* pStart = reinterpret_cast<char*>(gBlock + gPos);
  std::size_t nWindow = nAhead < kLookahead ? nAhead : kLookahead;
  const char* pFound = static_cast<const char*>(std::memchr(pStart, '\n', nWindow));
  piece.bCut = false;
  if (pFound != nullptr) {
    gbLineFeed = true;
    std::size_t nLineFeed = static_cast<std::size_t>(pFound - pStart);
    bool bCrLf = nLineFeed > 0 && pStart[nLineFeed - 1] == '\r';
    std::size_t nLength = bCrLf ? nLineFeed - 1 : nLineFeed;  // once CR LF is LF
    if (nLength <= kMaxLine) {
      // The text is used where it lies: its line end becomes its NUL.
      pStart[nLength] = '\0';
      gPos += nLineFeed + 1;
      piece.szText = pStart;
      piece.nLength = nLength;
      piece.bLineFeed = true;
      return true;
    }
  }
  readUnusualLine(pStart, nAhead, piece);
  return true;
}

void readRestOfLine(std::string& sRest) {
  if (gbRestPending) passRestOfLine(&sRest);
}

const char* readEncoding() {
  if (gUtf16) return gUtf16State.bBigEndian ? "utf-16be" : "utf-16le";
  return gPrefixLen >= 3 && gPrefix[0] == 0xEF && gPrefix[1] == 0xBB && gPrefix[2] == 0xBF
             ? "utf-8"
             : "plain";
}

ReadFacts readFacts() {
  ReadFacts facts = gFacts;
  facts.bEmpty = !gAnyText && !gFacts.bStoppedEarly;
  facts.bNoLineFeeds = gbCarriageReturn && !gbLineFeed;
  return facts;
}

std::uint64_t bytesRead() { return gBytesRead; }

int readError() { return gReadErrno; }
