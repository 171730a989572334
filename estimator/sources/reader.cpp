#include "sources/reader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "sources/utf16.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

// A whole line in view: its characters, a carriage return and the line feed.
const std::size_t kLookahead = kMaxLine + 2;
const unsigned char kEndOfText = 26;

// Reads up to n raw bytes of the file, the sniffed prefix first.
std::size_t readRaw(Reader& r, unsigned char* pDst, std::size_t n) {
  std::size_t nGot = 0;
  if (r.nPrefixPos < r.nPrefixLen) {
    nGot = r.nPrefixLen - r.nPrefixPos < n ? r.nPrefixLen - r.nPrefixPos : n;
    std::memcpy(pDst, r.aPrefix + r.nPrefixPos, nGot);
    r.nPrefixPos += nGot;
  }
  if (nGot == n || r.bRawEnded) return nGot;
  errno = 0;
  std::size_t nRead = std::fread(pDst + nGot, 1, n - nGot, r.pStream);
  r.nBytesRead += nRead;
  if (nRead < n - nGot) {  // a short read is the end of the file or an error
    r.bRawEnded = true;
    if (std::ferror(r.pStream)) r.nReadErrno = errno != 0 ? errno : EIO;
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
void sniffEncoding(Reader& r) {
  r.nPrefixLen = readRaw(r, r.aPrefix, kSniffSize);
  r.nPrefixPos = 0;
  r.bUtf16 = false;
  r.utf16 = Utf16State();
  if (r.nPrefixLen >= 3 && r.aPrefix[0] == 0xEF && r.aPrefix[1] == 0xBB && r.aPrefix[2] == 0xBF) {
    r.nPrefixPos = 3;
  } else if (r.nPrefixLen >= 2 && r.aPrefix[0] == 0xFF && r.aPrefix[1] == 0xFE) {
    r.bUtf16 = true;
    r.nPrefixPos = 2;
  } else if (r.nPrefixLen >= 2 && r.aPrefix[0] == 0xFE && r.aPrefix[1] == 0xFF) {
    r.bUtf16 = true;
    r.utf16.bBigEndian = true;
    r.nPrefixPos = 2;
  } else if (r.nPrefixLen >= 8 && alternatesWithZero(r.aPrefix, r.nPrefixLen & ~std::size_t{1})) {
    r.bUtf16 = true;
  }
}

// True when every raw byte, the sniffed prefix included, has been handed out.
bool rawExhausted(const Reader& r) { return r.bRawEnded && r.nPrefixPos == r.nPrefixLen; }

// Appends text after r.nEnd, n bytes at most, converting UTF-16 on the way.
// Returns the number of bytes added; 0 means the input has no more text.
std::size_t readText(Reader& r, std::size_t n) {
  if (!r.bUtf16) return readRaw(r, r.aBlock + r.nEnd, n);
  std::size_t nRawMax = (n / 3 - 4) * 2;  // so that utf16OutputLimit(nRawMax) <= n
  if (nRawMax > kRawBlockSize) nRawMax = kRawBlockSize;
  std::size_t nText = 0;
  while (nText == 0 && !rawExhausted(r)) {
    std::size_t nRaw = readRaw(r, r.aRaw, nRawMax);
    nText = decodeUtf16(r.aRaw, nRaw, rawExhausted(r), r.utf16, r.aBlock + r.nEnd);
  }
  return nText;
}

// True when the file has more bytes after the byte 26 that ended a block.
bool moreFollows(Reader& r) {
  unsigned char nPeek;
  return readRaw(r, &nPeek, 1) > 0;
}

// Once per block: the few facts that the warnings after the report need.
// Carriage returns matter only while no line feed has been seen.
void noteText(Reader& r, const unsigned char* p, std::size_t n) {
  if (n > 0) r.bAnyText = true;
  if (!r.bLineFeed && !r.bCarriageReturn && std::memchr(p, '\r', n) != nullptr) {
    r.bCarriageReturn = true;
  }
}

void passRestOfLine(Reader& r, std::string* pKeep);

// Reads more text after what is left, so that at least kLookahead characters
// lie ahead of r.nPos unless the input ends first.
void refill(Reader& r) {
  if (r.bRestPending) passRestOfLine(r, nullptr);
  std::size_t nLeft = r.nEnd - r.nPos;
  std::memmove(r.aBlock, r.aBlock + r.nPos, nLeft);
  r.nPos = 0;
  r.nEnd = nLeft;
  while (!r.bInputEnded && r.nEnd < kLookahead) {
    std::size_t nRead = readText(r, kBlockSize - r.nEnd);
    if (nRead == 0) r.bInputEnded = true;
    void* pStop = std::memchr(r.aBlock + r.nEnd, kEndOfText, nRead);
    if (pStop != nullptr) {
      std::size_t nText =
          static_cast<std::size_t>(static_cast<unsigned char*>(pStop) - (r.aBlock + r.nEnd));
      r.facts.bStoppedEarly = nText + 1 < nRead || moreFollows(r);
      nRead = nText;
      r.bInputEnded = true;
    }
    noteText(r, r.aBlock + r.nEnd, nRead);
    r.nEnd += nRead;
  }
}

// Passes over the rest of a line that was cut, up to and with its line feed,
// and appends its characters to *pKeep unless that is null.
void passRestOfLine(Reader& r, std::string* pKeep) {
  r.bRestPending = false;
  r.nEnd = r.nRestEnd;
  std::size_t nKept = pKeep != nullptr ? pKeep->size() : 0;
  for (;;) {
    if (r.nPos == r.nEnd) {
      refill(r);
      if (r.nPos == r.nEnd) return;
    }
    const char* pFrom = reinterpret_cast<const char*>(r.aBlock + r.nPos);
    const void* pFound = std::memchr(pFrom, '\n', r.nEnd - r.nPos);
    std::size_t nTaken = pFound != nullptr
                             ? static_cast<std::size_t>(static_cast<const char*>(pFound) - pFrom)
                             : r.nEnd - r.nPos;
    if (pKeep != nullptr) pKeep->append(pFrom, nTaken);
    if (pFound != nullptr) {
      r.nPos += nTaken + 1;
      r.bLineFeed = true;
      // CR LF is LF, also where the cut fell between them.
      if (pKeep != nullptr && pKeep->size() > nKept && pKeep->back() == '\r') pKeep->pop_back();
      return;
    }
    r.nPos = r.nEnd;
  }
}

}  // namespace

void startReading(Reader& r, std::FILE* stream) {
  r.pStream = stream;
  r.nPos = r.nEnd = 0;
  r.bInputEnded = false;
  r.bRawEnded = false;
  r.nReadErrno = 0;
  r.nPrefixPos = r.nPrefixLen = 0;  // nothing of an earlier stream is handed out
  r.nBytesRead = 0;
  r.facts = ReadFacts();
  r.bAnyText = false;
  r.bLineFeed = r.bCarriageReturn = false;
  r.bRestPending = false;
  sniffEncoding(r);
}

// The line at pStart, of which nAhead characters are in view, when it is not
// a whole line of at most kMaxLine characters ending in a line feed: the last
// line, without one, where its NUL goes into the slack after the text; or a
// line to be cut, whose first characters are kept apart while the rest is
// passed over.
void readUnusualLine(Reader& r, char* pStart, std::size_t nAhead, Piece& piece) {
  piece.bLineFeed = false;
  if (nAhead <= kMaxLine) {
    pStart[nAhead] = '\0';
    r.nPos += nAhead;
    piece.szText = pStart;
    piece.nLength = nAhead;
    return;
  }
  std::memcpy(r.szCut, pStart, kMaxLine);
  r.szCut[kMaxLine] = '\0';
  r.nPos += kMaxLine;
  r.bRestPending = true;  // passed over at the next read, unless kept before it
  r.nRestEnd = r.nEnd;
  r.nEnd = r.nPos;
  piece.szText = r.szCut;
  piece.nLength = kMaxLine;
  piece.bCut = true;
}

bool readPiece(Reader& r, Piece& piece) {
  if (r.nEnd - r.nPos < kLookahead) refill(r);
  // The position in a local: the line's NUL, a char, may be written over
  // any byte of the reader, so r.nPos would be read again after it.
  const std::size_t nPos = r.nPos;
  std::size_t nAhead = r.nEnd - nPos;
  if (nAhead == 0) return false;

  char* pStart = reinterpret_cast<char*>(r.aBlock + nPos);
  std::size_t nWindow = nAhead < kLookahead ? nAhead : kLookahead;
  const char* pFound = static_cast<const char*>(std::memchr(pStart, '\n', nWindow));
  piece.bCut = false;
  if (pFound != nullptr) {
    std::size_t nLineFeed = static_cast<std::size_t>(pFound - pStart);
    bool bCrLf = nLineFeed > 0 && pStart[nLineFeed - 1] == '\r';
    std::size_t nLength = bCrLf ? nLineFeed - 1 : nLineFeed;  // once CR LF is LF
    if (nLength <= kMaxLine) {
      r.bLineFeed = true;
      r.nPos = nPos + nLineFeed + 1;
      piece.szText = pStart;
      piece.nLength = nLength;
      piece.bLineFeed = true;
      // The text is used where it lies: its line end becomes its NUL.
      pStart[nLength] = '\0';
      return true;
    }
    r.bLineFeed = true;
  }
  readUnusualLine(r, pStart, nAhead, piece);
  return true;
}

void readRestOfLine(Reader& r, std::string& sRest) {
  if (r.bRestPending) passRestOfLine(r, &sRest);
}

const char* readEncoding(const Reader& r) {
  if (r.bUtf16) return r.utf16.bBigEndian ? "utf-16be" : "utf-16le";
  return r.nPrefixLen >= 3 && r.aPrefix[0] == 0xEF && r.aPrefix[1] == 0xBB && r.aPrefix[2] == 0xBF
             ? "utf-8"
             : "plain";
}

ReadFacts readFacts(const Reader& r) {
  ReadFacts facts = r.facts;
  facts.bEmpty = !r.bAnyText && !r.facts.bStoppedEarly;
  facts.bNoLineFeeds = r.bCarriageReturn && !r.bLineFeed;
  return facts;
}

std::uint64_t bytesRead(const Reader& r) { return r.nBytesRead; }

int readError(const Reader& r) { return r.nReadErrno; }

std::FILE* openListingFile(const char* szName) {
  if (std::strcmp(szName, "-") == 0) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);  // read as bytes like any listing file
#endif
    return stdin;
  }
  // A directory is no listing, though some systems open it for reading.
  std::error_code error;
  if (std::filesystem::is_directory(szName, error)) {
    errno = EISDIR;
    return nullptr;
  }
  return std::fopen(szName, "rb");
}

std::uint64_t listingFileSize(const char* szName) {
  std::error_code error;
  std::uintmax_t nSize = std::filesystem::file_size(szName, error);
  return error ? 0 : static_cast<std::uint64_t>(nSize);
}
