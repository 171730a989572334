// Reads a listing as text, one line or piece of a line at a time.
//
// The file is read in large binary blocks and the text-mode rules of the
// listings' home system are applied to the byte stream: a carriage return
// directly followed by a line feed becomes the line feed alone, any other
// carriage return stays, and a byte of value 26 ends the input. The text is
// then cut into pieces of at most kMaxPiece characters, each ending at the
// first line feed. A line longer than that arrives as several pieces.
//
// The reader's state is program-wide: one listing is read at a time.
#ifndef PLOMET_ESTIMATOR_READER_H_
#define PLOMET_ESTIMATOR_READER_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>

const std::size_t kMaxPiece = 255;

/// Bytes that may be read, though not used, after the NUL that ends a piece.
const std::size_t kPieceSlack = 8;

/// Starts reading the open stream (opened in binary mode) from its start.
void startReading(std::FILE* stream);

/// One piece of the listing.
struct Piece {
  const char* szText;   // its characters, ended by a NUL; valid until the next read
  std::size_t nLength;  // characters before the line feed, NUL bytes included
  bool bLineFeed;       // the piece ended with a line feed (not part of szText)
};

/// Reads the next piece. Returns false, leaving piece alone, when the input
/// has ended or a read failed.
bool readPiece(Piece& piece);

/// Returns the number of bytes taken from the file so far.
std::uint64_t bytesRead();

/// Returns 0, or the error number of the read that failed and ended the input.
int readError();

#endif  // PLOMET_ESTIMATOR_READER_H_
