// The totals that a recursive directory listing states about itself.
//
// After each directory's entries a summary line gives that directory's files
// and bytes; the listing ends with a line that introduces the grand total, a
// summary of the same shape for the whole listing, and a line with the
// number of directories and the free space. The lines are told by their
// shape, never by their words, which each language writes its own way:
//
//                3 File(s)         48,213 bytes
//               35 Datei(en),      4.500.939 Bytes
//                1 个文件  2,013,265,920 字节
//
// A summary is blanks, a number, a word, a number and a word. The grand total
// is the summary right after a line of blanks and words that ends in a colon;
// a summary right after a summary is the free-space line.
#ifndef PLOMET_ESTIMATOR_OWNTOTALS_H_
#define PLOMET_ESTIMATOR_OWNTOTALS_H_

#include <cstdint>

#include "sources/text.h"

struct OwnTotals {
  std::uint64_t nDirectoryFiles = 0;  // the per-directory summaries, added up
  std::uint64_t nDirectoryBytes = 0;
  std::uint64_t nGrandFiles = 0;  // the grand totals (a listing may hold several)
  std::uint64_t nGrandBytes = 0;
  bool bDirectorySummary = false;
  bool bGrandTotal = false;
  std::uint64_t nIntroLine = 0;    // the number of the last introducing line, or 0
  std::uint64_t nSummaryLine = 0;  // the number of the last summary line, or 0
};

/// Reads a summary line: blanks, a number, a word, a number, a word, and
/// nothing else but blanks. Numbers may be grouped by the separators of the
/// sizes; a value past 2^64 - 1 stays there. Returns false for any other line.
bool readSummaryLine(const char* szLine, std::uint64_t& nFiles, std::uint64_t& nBytes);

/// Returns true when the line may hold totals, or name a directory: it is
/// empty or begins with whitespace.
inline bool mayHoldTotals(const char* szLine) {
  return szLine[0] == '\0' || isWhitespace(szLine[0]);
}

/// Takes line nLine (counted from 1) of a directory listing, if it may hold
/// totals: it is empty or begins with whitespace. Other lines need not be
/// offered.
void noteOwnTotalsLine(OwnTotals& totals, const char* szLine, std::uint64_t nLine);

/// The totals of a range of a listing's lines noted apart, with line
/// numbers from 1, to be joined to the lines before it: a summary on its
/// first line is held back, as what it is depends on the line before.
struct OwnTotalsRange {
  OwnTotals totals;
  bool bFirstSummary = false;
  std::uint64_t nFirstFiles = 0;
  std::uint64_t nFirstBytes = 0;
};

/// noteOwnTotalsLine for line nLine (from 1) of a range.
void noteRangeTotalsLine(OwnTotalsRange& range, const char* szLine, std::uint64_t nLine);

/// Joins a range's totals to the listing's, whose nLinesBefore lines came
/// before the range: the same as noting the range's lines after them.
void joinOwnTotals(OwnTotals& totals, std::uint64_t nLinesBefore, const OwnTotalsRange& range);

/// Returns false when the listing stated no totals; else true, with the
/// grand total where there is one, or else the per-directory summaries added up.
bool ownTotals(const OwnTotals& totals, std::uint64_t& nFiles, std::uint64_t& nBytes);

#endif  // PLOMET_ESTIMATOR_OWNTOTALS_H_
