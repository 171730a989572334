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

/// Writes nSeconds as --human and the page write a time: "1 h 02 min 03 s",
/// "2 min 05 s" below an hour, "7 s" below a minute, into szText, which has
/// room for kDurationTextSize characters.
void formatHumanDuration(std::uint64_t nSeconds, char* szText);

/// Writes nSeconds as formatHumanDuration (bHuman) or formatDuration does.
void formatTime(bool bHuman, std::uint64_t nSeconds, char* szText);

/// Characters formatHumanSize writes, its NUL included, for any size.
const std::size_t kSizeTextSize = 24;

/// Writes a size in the binary units as --human and the page write it,
/// "10.2 GiB": bytes below a KiB ("512 B"), else one decimal below 100 of
/// the unit and none from 100 on ("512 MiB"), into szText, which has room
/// for kSizeTextSize characters. A size that rounds up to 1024 of a unit is
/// written in the next ("1.0 MiB", not "1024 KiB").
void formatHumanSize(double dBytes, char* szText);

/// Returns formatHumanSize's text, and formatHumanDuration's.
std::string humanSize(double dBytes);
std::string humanDuration(std::uint64_t nSeconds);

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
