// Logs written by robocopy, in any language.
//
// Every line is read by its own shape, wherever it stands: a log may begin
// with any lines before its first banner, lack the header (/NJH) or the
// summary (/NJS), hold many jobs appended (/LOG+) and be cut off anywhere.
// A file line is a class, a size (left out with /NS), a date with /TS and a
// name, separated by tabs or, when pasted, by blanks:
//
//   <tab>  New Dir          2<tab>C:\Data\sub\ (a folder and its entries)
//   <tab>    New File  <tab><tab>  470.8 k<tab>b.bin
//   <tab>    *EXTRA File <tab><tab>   1024<tab>2026/12/01 17:45:10<tab>c.txt
//   <tab>    same      <tab><tab>d.txt (with /NS)
//
// An absolute path that ends in a separator is a folder. A size is in bytes
// or rounded with a unit in its own column (470.8 k: k, m, g, t are powers of
// 1,024); a unit follows only a decimal number. Progress percentages before
// or after a carriage return are passed over. A line whose first words end
// in a colon (Files :, Bytes :, Options :, Log File :) is a label, never a
// file: the summary's rows of six numbers, in the order dirs, files, bytes,
// are checked against what the job counted; the job's options say which
// classes count (/XO, /XN, /XC, /IS, /IT, /IM).
//
// Counted is what robocopy copied or tried to: not same, not the classes that
// begin with '*' (destination only), not those that excluded files (named,
// junction, lonely, large, small, too old, too new, attrib), in every
// language robocopy ships. A class not known is counted and said when no
// summary confirms it. A file retried after an error line for it is listed
// again, right after, and counts once.
#ifndef PLOMET_ESTIMATOR_ROBOCOPYLOG_H_
#define PLOMET_ESTIMATOR_ROBOCOPYLOG_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "sources/entry.h"

/// A class seen lately and its kind, so that a line of a class seen before
/// is told by one comparison.
struct RobocopyClassSeen {
  char aText[24] = {};
  unsigned char nLength = 0;  // 0: empty slot
  unsigned char nKind = 0;
};

/// What one job counted and what its summary states.
struct RobocopyJob {
  std::uint64_t nFiles = 0;
  std::uint64_t nBytes = 0;
  std::uint64_t nSlack = 0;    // the most the rounded sizes may be off, added up
  std::uint64_t nNoSize = 0;   // files without a size
  std::uint64_t nUnknown = 0;  // files of a class not known, counted
  bool bSummary = false;       // a summary row was read
  bool bStatedFiles = false;
  bool bStatedBytes = false;
  std::uint64_t nStatedFiles = 0;  // copied and failed
  std::uint64_t nStatedBytes = 0;
  std::uint64_t nStatedSlack = 0;
};

struct RobocopyLog {
  bool bFolders = true;   // give each entry its folder
  unsigned nCounted = 0;  // the kinds of class that count in this job, a bit each
  int nSummaryRow = 0;    // rows of the summary read in a row: 1 dirs, 2 files, 3 bytes
  std::string sFolder;    // the last folder line's path
  std::string sRoot;      // the job's first folder: its source
  // The last file counted in the folder, for its retry: the name as written
  // and the size, and whether an error line for it has come since.
  std::string sLastName;
  std::uint64_t nLastSize = 0;
  bool bLastFile = false;
  bool bRetry = false;
  RobocopyJob job;
  // What was counted over all jobs.
  std::uint64_t nFiles = 0;
  std::uint64_t nBytes = 0;
  bool bRounded = false;
  std::uint64_t nNoSize = 0;
  // The summaries' copied and failed files and bytes, added up over jobs.
  std::uint64_t nStatedFiles = 0;
  std::uint64_t nStatedBytes = 0;
  // The jobs checked against their summaries, and those that disagree with
  // what they state, with the files and bytes of the latter.
  std::uint64_t nJobsChecked = 0;
  std::uint64_t nJobsDiffering = 0;
  std::uint64_t nDifferingStatedFiles = 0;
  std::uint64_t nDifferingStatedBytes = 0;
  std::uint64_t nDifferingFiles = 0;
  std::uint64_t nDifferingBytes = 0;
  // Files of a class not known in jobs that no summary confirms; the first
  // such class as written.
  std::uint64_t nUnknownUnchecked = 0;
  std::string sUnknownClass;
  bool bUnknownClass = false;
  RobocopyClassSeen aSeen[8];
  unsigned nSeenNext = 0;
  // For a log read in parts (kindblocks.h): the jobs closed, and whether the
  // last file before the part is still the last file (no file or folder
  // line read since the part began), and an error line was read then.
  std::uint64_t nJobsClosed = 0;
  bool bLastFromBefore = false;
  bool bErrorOnLastFromBefore = false;
};

/// Starts reading a log.
void startRobocopy(RobocopyLog& log);

/// Reads one line of nLength bytes, followed by a NUL and kPieceSlack
/// readable bytes, as the reader hands lines out. Returns true with the
/// entry for a file that counts; its folder is a span into the line or the
/// log's state, valid until the next line.
bool readRobocopyLine(RobocopyLog& log, const char* szLine, std::size_t nLength, Entry& entry);

/// Ends the job being read: checks what it counted against its summary, if
/// it has one, and adds it to the log's totals. The next line begins a job.
void closeRobocopyJob(RobocopyLog& log);

/// Reads a robocopy size at pC (eight bytes readable there, as a reader's
/// line has): digits, or digits with a decimal part (a full stop or a
/// comma) followed by one blank and a unit k, m, g or t that ends at
/// whitespace or the text's end. Returns the end of the size, or
/// nullptr (a fraction of a byte is none); nSlack is half the last digit's
/// worth (0 for a plain byte count).
const char* readRobocopySize(const char* pC, std::uint64_t& nBytes, std::uint64_t& nSlack);

#endif  // PLOMET_ESTIMATOR_ROBOCOPYLOG_H_
