// Logs written by robocopy, in any language.
//
// A job is a banner between two lines of dashes, the job's header (its
// options among them), another line of dashes, the body and, after a last
// line of dashes, the summary; a log may hold several jobs, or lack the
// header or the summary. A body line is a class, a number and a name,
// separated by tabs or, when pasted, by blanks:
//
//   <tab>  New Dir          2<tab>C:\Data\sub\ (a folder)
//   <tab>    New File  <tab><tab>  470.8 k<tab>b.bin
//   <tab>    *EXTRA File <tab><tab>   1024<tab>2026/12/01 17:45:10<tab>c.txt
//
// A name that ends in a separator is a folder and the number its count of
// entries; a file's number is its size, in bytes or rounded with a unit
// (k, m, g, t: powers of 1,024), and a date follows it with /TS. Counted is
// what robocopy copied or tried to: every class but those that begin with
// '*' (destination only) and same, named, junction and lonely.
#ifndef PLOMET_ESTIMATOR_ROBOCOPYLOG_H_
#define PLOMET_ESTIMATOR_ROBOCOPYLOG_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "sources/entry.h"

struct RobocopyLog {
  int nSection = 0;  // 0 before the first line, 1 banner, 2 header, 3 body, 4 summary
  bool bNoSizes = false;  // the job's options hold /NS
  bool bFolders = true;   // give each entry its folder
  std::string sFolder;    // the last folder line's path
  // What was counted, to check against the summaries.
  std::uint64_t nFiles = 0;
  std::uint64_t nBytes = 0;
  std::uint64_t nSlack = 0;  // the most the rounded sizes may be off, added up
  bool bRounded = false;
  std::uint64_t nNoSize = 0;  // file lines without a size
  std::uint64_t nLastKey = 0; // the last file counted, to pass over its retry
  bool bLastKey = false;
  // The summaries' copied and failed files and bytes, added up over jobs.
  int nSummaryRow = 0;
  bool bSummary = false;
  std::uint64_t nStatedFiles = 0;
  std::uint64_t nStatedBytes = 0;
  std::uint64_t nStatedSlack = 0;
};

/// Starts reading a log.
void startRobocopy(RobocopyLog& log);

/// Reads one line of nLength bytes, followed by a NUL and kPieceSlack
/// readable bytes, as the reader hands lines out. Returns true with the
/// entry for a file that counts; its folder is a span into the line or the
/// log's state, valid until the next line.
bool readRobocopyLine(RobocopyLog& log, const char* szLine, std::size_t nLength, Entry& entry);

/// Reads a robocopy size at pC: digits, optionally a decimal part and a
/// blank and a unit k, m, g or t. Returns the end of the size, or nullptr;
/// nSlack is half the last digit's worth (0 for a plain byte count).
const char* readRobocopySize(const char* pC, std::uint64_t& nBytes, std::uint64_t& nSlack);

#endif  // PLOMET_ESTIMATOR_ROBOCOPYLOG_H_
