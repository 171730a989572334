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
// The reader's state is program-wide: one listing is read at a time.
#ifndef PLOMET_ESTIMATOR_READER_H_
#define PLOMET_ESTIMATOR_READER_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

/// The characters of a line that are looked at.
const std::size_t kMaxLine = 4096;

/// Bytes that may be read, though not used, after the NUL that ends a line.
const std::size_t kPieceSlack = 8;

/// Starts reading the open stream (opened in binary mode) from its start.
void startReading(std::FILE* stream);

/// One line of the listing, or its first kMaxLine characters.
struct Piece {
  const char* szText;   // its characters, ended by a NUL; valid until the next read
  std::size_t nLength;  // characters before the line feed, NUL bytes included
  bool bLineFeed;       // all of the line is here and it ended with a line feed
                        // (not part of szText)
  bool bCut;            // the line was longer than kMaxLine; the rest was passed over
};

/// Reads the next line. Returns false, leaving piece alone, when the input
/// has ended or a read failed.
bool readPiece(Piece& piece);

/// Appends to sRest the characters of the last piece's line past its first
/// kMaxLine, without the line feed (nor a carriage return before it), when
/// that piece was cut and nothing else has been read since; otherwise leaves
/// sRest alone. sRest grows with the line, so only a line known to be needed
/// whole, such as a folder's header, is read this way.
void readRestOfLine(std::string& sRest);

/// Returns the number of bytes taken from the file so far.
std::uint64_t bytesRead();

/// Returns 0, or the error number of the read that failed and ended the input.
int readError();

/// Returns the encoding found at the listing's start: "utf-16le" or
/// "utf-16be" (with or without a byte-order mark), "utf-8" (with a mark), or
/// "plain" (no mark: UTF-8 or a console code page, read as bytes).
const char* readEncoding();

/// What the reading found out about the listing as a whole, once it ended.
struct ReadFacts {
  bool bEmpty;         // no text at all: no bytes, only a byte-order mark, or
                       // nothing before a final byte 26
  bool bStoppedEarly;  // a byte 26 ended the text and more bytes followed it
  bool bNoLineFeeds;   // the text holds carriage returns but not one line feed
};

/// Returns the facts about the listing read since startReading.
ReadFacts readFacts();

#endif  // PLOMET_ESTIMATOR_READER_H_
