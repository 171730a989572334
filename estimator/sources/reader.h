// Reads a listing as text, one line at a time.
//
// The file is read in large binary blocks and the text-mode rules of the
// listings' home system are applied to the byte stream: a carriage return
// directly followed by a line feed becomes the line feed alone, any other
// carriage return stays, and a byte of value 26 ends the input. A line is
// everything up to its line feed, whatever its length. Only its first
// kMaxLine characters are handed out: no listing puts a size further in, and
// the rest is passed over without being kept, so memory stays the same for a
// line of any length, unless the rest is asked for (readRestOfLine).
//
// A listing compressed with gzip or zstd is known by its first bytes and
// read as the text it holds (compressed.h): the decompression takes the
// place of the file's bytes, before anything else.
//
// The reader's state is a struct its owner passes, so that several readers
// (of two files, or of two ranges of one) can work side by side. It holds
// its block of text: about 1.5 MiB, to be allocated once, not on the stack.
#ifndef PLOMET_ESTIMATOR_READER_H_
#define PLOMET_ESTIMATOR_READER_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sources/compressed.h"
#include "sources/text.h"
#include "sources/utf16.h"

/// The characters of a line that are looked at.
const std::size_t kMaxLine = 4096;

/// The size of the block of text a reader holds, and of the raw bytes read
/// at a time from a UTF-16 file before they are decoded.
const std::size_t kBlockSize = 1 << 20;
const std::size_t kRawBlockSize = 1 << 19;

/// Bytes at the listing's start that decide its encoding.
const std::size_t kSniffSize = 64;

/// What the reading found out about the listing as a whole, once it ended.
struct ReadFacts {
  bool bEmpty;         // no text at all: no bytes, only a byte-order mark, or
                       // nothing before a final byte 26
  bool bStoppedEarly;  // a byte 26 ended the text and more bytes followed it
  bool bNoLineFeeds;   // the text holds carriage returns but not one line feed
};

/// One reader's state.
struct Reader {
  std::FILE* pStream = nullptr;
  std::size_t nPos = 0;      // start of the next piece in aBlock
  std::size_t nEnd = 0;      // end of the text read so far
  bool bInputEnded = false;  // end of file, byte 26 or a read error
  int nReadErrno = 0;
  std::uint64_t nBytesRead = 0;
  ReadFacts facts{};
  bool bAnyText = false;
  bool bLineFeed = false;
  bool bCarriageReturn = false;
  // The raw bytes read to decide the encoding, handed out again before the rest.
  unsigned char aPrefix[kSniffSize];
  std::size_t nPrefixPos = 0;
  std::size_t nPrefixLen = 0;
  bool bRawEnded = false;
  bool bUtf16 = false;
  Utf16State utf16;
  // A compressed listing's decompression, or null; and why its text ended
  // early (a corrupt or cut-off stream), or null.
  DecompressorPtr pDecompressor;
  const char* szStreamError = nullptr;
  // The last piece was cut and the rest of its line is still to be passed
  // over. Meanwhile nEnd is held at nPos, so that the next read, finding
  // nothing ahead, comes to refill, which passes it over first: the lines
  // that are not cut pay nothing for this. The true end of the text is kept
  // in nRestEnd.
  bool bRestPending = false;
  std::size_t nRestEnd = 0;
  // A block of text given whole (startReadingBlock): nothing more is read,
  // and the text stays where it lies, line after line.
  bool bFixedText = false;
  unsigned char aBlock[kBlockSize + kPieceSlack];
  std::vector<unsigned char> raw;  // UTF-16 input before conversion, kRawBlockSize once needed
  char szCut[kMaxLine + 1 + kPieceSlack];  // the first characters of a line cut
};

/// Opens the listing szName to read it as bytes: "-" is standard input, and a
/// file named "-" is reached as "./-". Returns nullptr, with errno set, when
/// it cannot be opened or is a folder.
std::FILE* openListingFile(const char* szName);

/// Returns the size of the file szName in bytes, or 0 when it is not known.
std::uint64_t listingFileSize(const char* szName);

/// Starts reading the open stream (opened in binary mode) from its start.
void startReading(Reader& reader, std::FILE* stream);

/// Starts reading the nLength bytes of text that lie in reader.aBlock as
/// lines, as readPiece reads a listing's: the text is not decoded again and
/// no byte 26 ends it; it ends at its end. The lines stay in the block until
/// it is started again.
void startReadingBlock(Reader& reader, std::size_t nLength);

/// Moves the text the reader has read but not handed out as lines, then
/// more of the listing's text, decoded as readPiece decodes it and ended as
/// it is ended (by the end of the file, a read error or a byte 26), into
/// pOut: nMax bytes at most. The rest of a cut line still to be passed over
/// is passed over first. Returns the number of bytes moved; 0 at the end of
/// the text. Once this is used, the reader hands out no more lines.
std::size_t takeText(Reader& reader, unsigned char* pOut, std::size_t nMax);

/// One line of the listing, or its first kMaxLine characters.
struct Piece {
  const char* szText;   // its characters, ended by a NUL; valid until the next read
  std::size_t nLength;  // characters before the line feed, NUL bytes included
  bool bLineFeed;       // all of the line is here and it ended with a line feed
                        // (not part of szText)
  bool bCut;            // the line was longer than kMaxLine; the rest was passed over
};

/// A whole line in view: its characters, a carriage return and the line feed.
const std::size_t kLookahead = kMaxLine + 2;
static_assert(kLookahead >= 128, "findLineFeed searches 128 bytes at once");

/// Hands out the line at pStart whose line feed is at pFound, when it is
/// not too long: its line end becomes its NUL. Returns false, touching
/// nothing, for a line longer than kMaxLine.
inline bool takeLine(Reader& r, char* pStart, const char* pFound, Piece& piece) {
  std::size_t nLineFeed = static_cast<std::size_t>(pFound - pStart);
  bool bCrLf = nLineFeed > 0 && pStart[nLineFeed - 1] == '\r';
  std::size_t nLength = bCrLf ? nLineFeed - 1 : nLineFeed;  // once CR LF is LF
  if (nLength > kMaxLine) return false;
  // The position is written before the NUL: the NUL, a char, may be
  // written over any byte of the reader, so r.nPos would be read again.
  r.nPos += nLineFeed + 1;
  piece.szText = pStart;
  piece.nLength = nLength;
  piece.bLineFeed = true;
  piece.bCut = false;
  pStart[nLength] = '\0';
  return true;
}

/// Returns the first line feed in the n bytes at p (n at least 128), or
/// nullptr. The first 128 bytes, where most lines end, are searched here:
/// a call to memchr costs as much as that search.
inline const char* findLineFeed(const char* p, std::size_t n) {
#ifdef __SSE2__
  const __m128i vLineFeed = _mm_set1_epi8('\n');
  for (int i = 0; i < 128; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    unsigned nMatches = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, vLineFeed)));
    if (nMatches != 0) return p + i + __builtin_ctz(nMatches);
  }
  return static_cast<const char*>(std::memchr(p + 128, '\n', n - 128));
#else
  return static_cast<const char*>(std::memchr(p, '\n', n));
#endif
}

/// readPiece for what is not an ordinary line in view: more text to read
/// first, a last line without a line feed, a line to cut, the end.
bool readPieceAfterRefill(Reader& reader, Piece& piece);

/// Reads the next line. Returns false, leaving piece alone, when the input
/// has ended or a read failed. The ordinary line, whole in the text read,
/// is read here; the rest in readPieceAfterRefill.
inline bool readPiece(Reader& r, Piece& piece) {
  if (r.nEnd - r.nPos >= kLookahead) {
    char* pStart = reinterpret_cast<char*>(r.aBlock + r.nPos);
    const char* pFound = findLineFeed(pStart, kLookahead);
    if (pFound != nullptr && takeLine(r, pStart, pFound, piece)) return true;
  }
  return readPieceAfterRefill(r, piece);
}

/// Appends to sRest the characters of the last piece's line past its first
/// kMaxLine, without the line feed (nor a carriage return before it), when
/// that piece was cut and nothing else has been read since; otherwise leaves
/// sRest alone. sRest grows with the line, so only a line known to be needed
/// whole, such as a folder's header, is read this way.
void readRestOfLine(Reader& reader, std::string& sRest);

/// Returns the number of bytes taken from the file so far.
std::uint64_t bytesRead(const Reader& reader);

/// Returns 0, or the error number of the read that failed and ended the input.
int readError(const Reader& reader);

/// Returns nullptr, or why the input ended before its end: the system's
/// message of the read that failed, or what was wrong with a compressed
/// listing's stream ("the gzip stream ends early (the file is cut off)").
const char* readErrorText(const Reader& reader);

/// After a piece that was cut (bCut), hands the rest of its line out to
/// takeText rather than passing it over: for a source that reads the text
/// as a stream from the line it was decided on. Does nothing otherwise.
void resumeCutLine(Reader& reader);

/// Whether the listing is a regular file whose text is its bytes (not UTF-16,
/// not compressed), read on a system where readTextAt reads by offset: its
/// reading then costs the main thread little besides the copy.
bool readsPlainFile(const Reader& reader);

/// Whether the main thread's reading is light beside the parsing, so that it
/// may parse too: a plain file (readsPlainFile), or text that zstd
/// decompresses (several times faster than zlib inflates, about a third of
/// a dir listing's parsing on one thread).
bool readsLightly(const Reader& reader);

/// Whether the text from here on may be read by offset (readTextAt), by any
/// thread: when the listing is a regular file whose text is its bytes (not
/// UTF-16, not compressed), a line feed has been read, and the reader holds
/// none of the text it read ahead and has not ended. Returns true with the
/// offset of the next byte of text and the file's size.
bool textReadableByOffset(const Reader& reader, std::uint64_t& nOffset, std::uint64_t& nFileSize);

/// How text read by offset ended before the bytes asked for.
struct TextEnd {
  bool bEnded = false;        // at the file's end, a byte 26 or a read that failed
  bool bMoreFollows = false;  // a byte 26 ended it, and more bytes follow
  int nErrno = 0;             // a read failed
};

/// Reads up to n bytes of text at nOffset into p, ended as the reader ends
/// it (by the file's end, a byte 26 or a read that failed: end tells).
/// Returns the number of bytes of text.
std::size_t readTextAt(const Reader& reader, std::uint64_t nOffset, unsigned char* p, std::size_t n,
                       TextEnd& end);

/// After text read by offset: goes on reading the text at nOffset.
void resumeReadingAt(Reader& reader, std::uint64_t nOffset);

/// After text read by offset: the text ended at nOffset, as end tells.
void endTextAt(Reader& reader, std::uint64_t nOffset, const TextEnd& end);

/// Returns the encoding found at the listing's start: "utf-16le" or
/// "utf-16be" (with or without a byte-order mark), "utf-8" (with a mark), or
/// "plain" (no mark: UTF-8 or a console code page, read as bytes).
const char* readEncoding(const Reader& reader);

/// Returns the facts about the listing read since startReading.
ReadFacts readFacts(const Reader& reader);

#endif  // PLOMET_ESTIMATOR_READER_H_
