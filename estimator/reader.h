// Reads a listing as text, one line or piece of a line at a time.
//
// The file is read in large binary blocks and the text-mode rules of the
// listings' home system are applied to the byte stream: a carriage return
// directly followed by a line feed becomes the line feed alone, any other
// carriage return stays, and a byte of value 26 ends the input. The text is
// then cut into pieces of at most kMaxPiece characters, each ending at the
// first line feed, which stays in the piece. A line longer than that arrives
// as several pieces.
//
// The reader's state is program-wide: one listing is read at a time.
#ifndef PLOMET_ESTIMATOR_READER_H_
#define PLOMET_ESTIMATOR_READER_H_

#include <cstddef>
#include <cstdio>

const std::size_t kMaxPiece = 255;

/// Starts reading the open stream (opened in binary mode) from its start.
void startReading(std::FILE* stream);

/// Copies the next piece into szLine, which has room for kMaxPiece + 1
/// characters, and ends it with a NUL. Returns false, leaving szLine alone,
/// when the input has ended or a read failed.
bool readPiece(char* szLine);

/// Returns 0, or the error number of the read that failed and ended the input.
int readError();

#endif  // PLOMET_ESTIMATOR_READER_H_
