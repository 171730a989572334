// Standard output through one large buffer, with the first write error kept.
//
// The verbose echo writes a line of output for every line of input, so the
// output is gathered in a fixed buffer and handed to the C library in large
// blocks. A failed write is remembered rather than reported at once, so the
// program can finish its run and then say what went wrong.
#ifndef PLOMET_ESTIMATOR_OUTPUT_H_
#define PLOMET_ESTIMATOR_OUTPUT_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "sources/reader.h"

/// Appends n bytes to standard output.
void outWrite(const char* p, std::size_t n);

/// Appends the NUL-terminated text sz to standard output.
void outText(const char* sz);

/// Appends printf-style formatted text, of any length, to standard output.
void outFormat(const char* szFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/// Characters formatDuration writes, its NUL included, for any number of seconds.
const std::size_t kDurationTextSize = 48;

/// Writes nSeconds as the reports write a time, "H hours M mins S sec", into
/// szText, which has room for kDurationTextSize characters.
void formatDuration(std::uint64_t nSeconds, char* szText);

/// Writes out everything buffered so far, then flushes the C library's stream.
/// Returns 0, or the error number of the first write that failed in this run.
int outFlush();

/// Returns szText with every byte below 32, and byte 127, shown as '?': text
/// from the command line cannot then drive the terminal it is shown on.
std::string printable(const char* szText);

/// The verbose echo of a parsed line: "parseLineLog( line: ..., data: ... )"
/// with szParser's name, the line's text up to its first NUL (and its line
/// feed, when it had one and holds no NUL), and the size text taken from it.
void echoLine(const char* szParser, const Piece& piece, const char* szData);

#endif  // PLOMET_ESTIMATOR_OUTPUT_H_
