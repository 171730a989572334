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
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const unsigned char kEndOfText = 26;

// Reads up to n bytes of a compressed listing's text. Fewer only at its end.
std::size_t readInflated(Reader& r, unsigned char* pDst, std::size_t n) {
  Decompressor& d = *r.pDecompressor;
  std::size_t nRead = readDecompressed(d, pDst, n);
  r.nBytesRead = compressedBytesRead(d);
  if (nRead < n) {
    r.bRawEnded = true;
    r.nReadErrno = decompressErrno(d);
    r.szStreamError = decompressError(d);
  }
  return nRead;
}

// Reads up to n raw bytes of the file, the sniffed prefix first.
std::size_t readRaw(Reader& r, unsigned char* pDst, std::size_t n) {
  std::size_t nGot = 0;
  if (r.nPrefixPos < r.nPrefixLen) {
    nGot = r.nPrefixLen - r.nPrefixPos < n ? r.nPrefixLen - r.nPrefixPos : n;
    std::memcpy(pDst, r.aPrefix + r.nPrefixPos, nGot);
    r.nPrefixPos += nGot;
  }
  if (nGot == n || r.bRawEnded) return nGot;
  if (r.pDecompressor) return nGot + readInflated(r, pDst + nGot, n - nGot);
  errno = 0;
  std::size_t nRead = std::fread(pDst + nGot, 1, n - nGot, r.pStream);
  r.nBytesRead += nRead;
  if (nRead < n - nGot) {  // a short read is the end of the file or an error
    r.bRawEnded = true;
    if (std::ferror(r.pStream)) r.nReadErrno = errno != 0 ? errno : EIO;
  }
  return nGot + nRead;
}

// A compressed listing's first bytes start its decompression: they and the
// rest of the file are read through it from then on.
bool startDecompressingIfCompressed(Reader& r) {
  Compression format = compressionOf(r.aPrefix, r.nPrefixLen);
  if (format == Compression::kNone) return false;
  r.pDecompressor = startDecompressing(format, r.pStream, r.aPrefix, r.nPrefixLen);
  r.nPrefixPos = r.nPrefixLen = 0;
  r.bRawEnded = false;
  return true;
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

// Writes text at pDst, n bytes at most (n >= 16), converting UTF-16 on the
// way. Returns the number of bytes written; 0 means the input has no more text.
std::size_t readText(Reader& r, unsigned char* pDst, std::size_t n) {
  if (!r.bUtf16) return readRaw(r, pDst, n);
  std::size_t nRawMax = (n / 3 - 4) * 2;  // so that utf16OutputLimit(nRawMax) <= n
  if (nRawMax > kRawBlockSize) nRawMax = kRawBlockSize;
  if (r.raw.size() < kRawBlockSize) r.raw.resize(kRawBlockSize);
  std::size_t nText = 0;
  while (nText == 0 && !rawExhausted(r)) {
    std::size_t nRaw = readRaw(r, r.raw.data(), nRawMax);
    nText = decodeUtf16(r.raw.data(), nRaw, rawExhausted(r), r.utf16, pDst);
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
  if (!r.bLineFeed && std::memchr(p, '\n', n) != nullptr) r.bLineFeed = true;
  if (!r.bLineFeed && !r.bCarriageReturn && std::memchr(p, '\r', n) != nullptr) {
    r.bCarriageReturn = true;
  }
}

// Reads text at pDst, n bytes at most, up to a byte 26, which ends the input
// there. Returns the number of bytes of text; 0 at its end.
std::size_t readEndedText(Reader& r, unsigned char* pDst, std::size_t n) {
  if (r.bInputEnded) return 0;
  std::size_t nRead = readText(r, pDst, n);
  if (nRead == 0) r.bInputEnded = true;
  void* pStop = std::memchr(pDst, kEndOfText, nRead);
  if (pStop != nullptr) {
    std::size_t nText = static_cast<std::size_t>(static_cast<unsigned char*>(pStop) - pDst);
    r.facts.bStoppedEarly = nText + 1 < nRead || moreFollows(r);
    nRead = nText;
    r.bInputEnded = true;
  }
  noteText(r, pDst, nRead);
  return nRead;
}

void passRestOfLine(Reader& r, std::string* pKeep);

// Reads more text after what is left, so that at least kLookahead characters
// lie ahead of r.nPos unless the input ends first.
void refill(Reader& r) {
  if (r.bRestPending) passRestOfLine(r, nullptr);
  if (r.bFixedText) return;  // a block's lines stay where they lie
  std::size_t nLeft = r.nEnd - r.nPos;
  std::memmove(r.aBlock, r.aBlock + r.nPos, nLeft);
  r.nPos = 0;
  r.nEnd = nLeft;
  while (!r.bInputEnded && r.nEnd < kLookahead) {
    r.nEnd += readEndedText(r, r.aBlock + r.nEnd, kBlockSize - r.nEnd);
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
  r.bFixedText = false;
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
  r.pDecompressor.reset();
  r.szStreamError = nullptr;
  sniffEncoding(r);
  if (startDecompressingIfCompressed(r)) sniffEncoding(r);
}

void startReadingBlock(Reader& r, std::size_t nLength) {
  r.bFixedText = true;
  r.bInputEnded = true;
  r.bRestPending = false;
  r.nPos = 0;
  r.nEnd = nLength;
  // The bytes a line's reading may look at past the text: set, as the rest
  // of a block made without zeros is not.
  std::memset(r.aBlock + nLength, 0, kPieceSlack);
}

std::size_t takeText(Reader& r, unsigned char* pOut, std::size_t nMax) {
  if (r.bRestPending) passRestOfLine(r, nullptr);
  std::size_t nHeld = r.nEnd - r.nPos;
  if (nHeld > 0) {
    std::size_t n = nHeld < nMax ? nHeld : nMax;
    std::memcpy(pOut, r.aBlock + r.nPos, n);
    r.nPos += n;
    return n;
  }
  if (nMax < 16) return 0;  // the UTF-16 decoder's least room
  return readEndedText(r, pOut, nMax);
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

bool readPieceAfterRefill(Reader& r, Piece& piece) {
  if (r.nEnd - r.nPos < kLookahead) refill(r);
  const std::size_t nPos = r.nPos;
  std::size_t nAhead = r.nEnd - nPos;
  if (nAhead == 0) return false;
  char* pStart = reinterpret_cast<char*>(r.aBlock + nPos);
  std::size_t nWindow = nAhead < kLookahead ? nAhead : kLookahead;
  const char* pFound = static_cast<const char*>(std::memchr(pStart, '\n', nWindow));
  piece.bCut = false;
  if (pFound != nullptr && takeLine(r, pStart, pFound, piece)) return true;
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

const char* readErrorText(const Reader& r) {
  if (r.szStreamError != nullptr) return r.szStreamError;
  return r.nReadErrno != 0 ? std::strerror(r.nReadErrno) : nullptr;
}

void resumeCutLine(Reader& r) {
  if (!r.bRestPending) return;
  r.bRestPending = false;
  r.nEnd = r.nRestEnd;
}

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

namespace {

// Reads up to n bytes of the file at nOffset. Returns the number read:
// fewer at its end, or after a read that failed (nErrno).
std::size_t readBytesAt(const Reader& r, std::uint64_t nOffset, unsigned char* p, std::size_t n,
                        int& nErrno) {
  std::size_t nGot = 0;
#ifndef _WIN32
  while (nGot < n) {
    ssize_t nRead =
        pread(fileno(r.pStream), p + nGot, n - nGot, static_cast<off_t>(nOffset + nGot));
    if (nRead < 0 && errno == EINTR) continue;
    if (nRead < 0) nErrno = errno != 0 ? errno : EIO;
    if (nRead <= 0) break;
    nGot += static_cast<std::size_t>(nRead);
  }
#else
  (void)r;
  (void)nOffset;
  (void)p;
  (void)n;
  (void)nErrno;
#endif
  return nGot;
}

}  // namespace

bool readsPlainFile(const Reader& r) {
#ifdef _WIN32
  (void)r;
  return false;
#else
  struct stat info;
  return r.pStream != nullptr && !r.bFixedText && !r.bUtf16 && !r.pDecompressor &&
         fstat(fileno(r.pStream), &info) == 0 && S_ISREG(info.st_mode);
#endif
}

bool readsLightly(const Reader& r) {
  return readsPlainFile(r) || (r.pDecompressor != nullptr && !r.bUtf16 && !r.bFixedText &&
                               decompressorFormat(*r.pDecompressor) == Compression::kZstd);
}

bool textReadableByOffset(const Reader& r, std::uint64_t& nOffset, std::uint64_t& nFileSize) {
#ifdef _WIN32
  (void)r;
  (void)nOffset;
  (void)nFileSize;
  return false;
#else
  if (r.pStream == nullptr || r.bFixedText || r.bUtf16 || r.pDecompressor || r.nPos != r.nEnd ||
      r.nPrefixPos != r.nPrefixLen || r.bRestPending || r.bInputEnded || r.bRawEnded ||
      !r.bLineFeed) {
    return false;
  }
  struct stat info;
  if (fstat(fileno(r.pStream), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  off_t nAt = ftello(r.pStream);
  if (nAt < 0 || nAt > info.st_size) return false;
  nOffset = static_cast<std::uint64_t>(nAt);
  nFileSize = static_cast<std::uint64_t>(info.st_size);
  return true;
#endif
}

std::size_t readTextAt(const Reader& r, std::uint64_t nOffset, unsigned char* p, std::size_t n,
                       TextEnd& end) {
  end = TextEnd();
  std::size_t nGot = readBytesAt(r, nOffset, p, n, end.nErrno);
  end.bEnded = nGot < n;
  const void* pStop = std::memchr(p, kEndOfText, nGot);
  if (pStop == nullptr) return nGot;
  std::size_t nText = static_cast<std::size_t>(static_cast<const unsigned char*>(pStop) - p);
  unsigned char nPeek;
  int nPeekErrno = 0;
  end.bEnded = true;
  end.bMoreFollows =
      nText + 1 < nGot || (nGot == n && readBytesAt(r, nOffset + nGot, &nPeek, 1, nPeekErrno) == 1);
  end.nErrno = 0;
  return nText;
}

void resumeReadingAt(Reader& r, std::uint64_t nOffset) {
  r.nPos = r.nEnd = 0;
  r.bRawEnded = r.bInputEnded = false;
  r.nBytesRead = nOffset;
#ifndef _WIN32
  if (fseeko(r.pStream, static_cast<off_t>(nOffset), SEEK_SET) != 0) {
    TextEnd end;
    end.nErrno = errno != 0 ? errno : EIO;
    endTextAt(r, nOffset, end);
  }
#endif
}

void endTextAt(Reader& r, std::uint64_t nOffset, const TextEnd& end) {
  r.nPos = r.nEnd = 0;
  r.bRawEnded = r.bInputEnded = true;
  r.nBytesRead = nOffset;
  if (end.bMoreFollows) r.facts.bStoppedEarly = true;
  if (end.nErrno != 0) r.nReadErrno = end.nErrno;
}
