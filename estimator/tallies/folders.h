// The folders whose files take the longest to back up.
//
// Every file counted in the report is also tallied under its folder: the
// directory nDepth levels below the listing's root, with everything beneath
// it. The root is the longest directory path that all files share, so it is
// known only after the last line: the tallies are kept under the root found
// so far, and when a file outside it makes the root shorter, they are keyed
// anew and merged. Memory grows with the number of folders, never with the
// number of files or lines.
//
// A directory listing names the directory of its files in header lines; a
// schedule log, and a listing written by find, name each file's full path.
// '/' and '\' both separate a path's parts: the one that the listing uses
// second becomes the first, so that paths compare byte by byte.
#ifndef PLOMET_ESTIMATOR_FOLDERS_H_
#define PLOMET_ESTIMATOR_FOLDERS_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sources/reader.h"

/// Files and bytes of one folder, the bytes by size class. Bytes stay at
/// 2^64 - 1 rather than wrap, as the report's totals do.
struct FolderTotals {
  std::uint64_t nFiles = 0;
  std::uint64_t anBytes[4] = {};
  // Counting files changed since a date while the order of the listing's
  // dates is still open: the files that only the month-first reading of
  // their date selects (0), or only the day-first one (1).
  std::uint64_t anAsideFiles[2] = {};
  std::uint64_t aanAsideBytes[2][4] = {};
};

/// The groups a file is counted in: counted at once, or set aside for the
/// month-first or the day-first reading of the dates.
const int kFolderCounted = 0;
const int kFolderMonthFirstOnly = 1;
const int kFolderDayFirstOnly = 2;

/// One folder: its path after the root, with a separator at its end, and
/// the last eight bytes of its whole path as a word.
struct FolderEntry {
  std::string sBelowRoot;
  std::uint64_t nLastWord;
  FolderTotals totals;
};

/// A place in the folders' hash table: the key's hash and its folder, or null.
struct FolderSlot {
  std::uint64_t nHash = 0;
  FolderEntry* pEntry = nullptr;
};

/// The state of one run's folder tallies. Paths are kept as the listing
/// writes them, each followed by a separator ("C:\Users\", "/srv/", "C:\"),
/// except that every separator is the one the first path used.
struct FolderTally {
  int nDepth = 1;
  char cSeparator = '\0';  // the first path's separator; '\0' until then
  bool bHasRoot = false;
  std::string sRoot;  // the root so far: the path all files counted so far share
  // Directory listings: the last header's directory ("" before the first),
  // and its tally, or null until its next file.
  std::string sDirectory;
  FolderTotals* pCurrent = nullptr;
  // The folder found last, whose path is the root and its sBelowRoot;
  // bLastWhole when it lies nDepth levels below the root, so that everything
  // beneath its path belongs to it.
  FolderEntry* pLast = nullptr;
  bool bLastWhole = false;
  std::string sScratch;             // a path whose separators were made the listing's
  std::string sEntryPath;           // a folder's path made a file's, for countFolderFile
  bool bLayoutKnown = false;        // the first header decided whether words follow the path
  std::string sHeaderWords;         // those words, with the blanks before them, or ""
  std::deque<FolderEntry> folders;  // in the order found; their addresses stay
  std::vector<FolderSlot> slots;    // open addressing, at most half full
  int nSlotShift = 64;              // a hash's slot is its top bits
  FolderTotals unplaced;            // files whose directory the listing does not name
};

/// Starts the tally of folders nDepth levels below the listing's root
/// (nDepth >= 1; smaller values count as 1). Forgets any earlier run.
void startFolders(FolderTally& ft, int nDepth);

/// Returns true when the line is a directory listing's header that names a
/// directory: words, a blank, then a drive letter, a colon and a backslash,
/// or an absolute path ('/' or "\\"), with or without blanks before the
/// words. A line that begins with a digit (a date) is never a header.
bool namesDirectory(const char* szLine);

/// Directory listing: every piece that holds no file is offered here.
/// Returns true when namesDirectory says it is a header; the files that
/// follow belong to its directory. The first
/// header decides whether words follow the path (" C:\x 的目录"); later
/// headers lose the same words. A header cut at the end of a piece (a line
/// longer than kMaxLine) names the directory up to its last whole part.
bool noteDirectoryLine(FolderTally& ft, const Piece& piece);

/// Directory listing: one file of nSize bytes in size class nClass (0..3),
/// in group nGroup. pName is the text after the size field (the file's
/// name); when it is an absolute path (as in listings written by find), its
/// directory counts instead of the last header's. Files before any header
/// have no folder.
void countListingFile(FolderTally& ft, const char* pName, int nClass, std::uint64_t nSize,
                      int nGroup = kFolderCounted);

/// Schedule log: one object; pPath is the text after the size field. The
/// path runs up to a status in square brackets at the end of the line, or to
/// the end of the line; its directory is the text up to its last separator.
/// A path without a separator has no folder.
void countLogObject(FolderTally& ft, const char* pPath, int nClass, std::uint64_t nSize,
                    int nGroup = kFolderCounted);

/// countLogObject for a path that lies in the text of piece, as read: the
/// piece's length says how far its bytes may be read, so that the end of
/// the path's text (its NUL, which may come before that) is mostly not
/// searched for.
void countLogObject(FolderTally& ft, const Piece& piece, const char* pPath, int nClass,
                    std::uint64_t nSize, int nGroup = kFolderCounted);

/// One file of nSize bytes in size class nClass, in group nGroup, in the
/// folder whose path is [pDir, pDir + nDir), with or without a final
/// separator: for sources that name each object's folder (the scan and the
/// listings that give whole paths). An empty path is no folder.
void countFolderFile(FolderTally& ft, const char* pDir, std::size_t nDir, int nClass,
                     std::uint64_t nSize, int nGroup = kFolderCounted);

/// A folder's seconds stay at 2^64 - 1, as near as a double comes, as the
/// report's estimate does; a row that reached it shows 2^64 - 1 exactly.
const double kFolderMaxSeconds = 18446744073709551615.0;

/// One row of the ranking.
struct FolderRow {
  std::string sName;  // the path below the root, without a final separator
  std::uint64_t nFiles = 0;
  std::uint64_t nBytes = 0;  // staying at 2^64 - 1, like the report's totals
  double dSeconds = 0;       // each class's bytes over its rate, summed
  double dShare = 0;         // percent of the total time; 0 when that is 0
};

/// The folders that take the longest, the rest, and the totals.
struct FolderRanking {
  bool bFound = false;  // false when no file could be placed in a folder
  std::string sRoot;    // as printed: without a final separator, unless "C:\" or "/"
  int nDepth = 1;
  std::size_t nFolders = 0;     // all folders found
  std::vector<FolderRow> rows;  // the nTop that take the longest, the longest first
  std::size_t nRestFolders = 0;
  FolderRow rest;      // all other folders together
  FolderRow unplaced;  // files whose directory the listing does not name
  FolderRow total;     // every file; the rows above add up to it
};

/// Ranks the folders after the last line: the nTop that take the longest at
/// the given rates (bytes per second per class; a rate <= 0 makes that
/// class's time 0), largest first; ties go to more bytes, then more files,
/// then to the name that sorts first byte by byte. The root's own files are
/// the row with the empty name. The files counted at once are ranked, and
/// with nAsideGroup (kFolderMonthFirstOnly or kFolderDayFirstOnly) the files
/// set aside for that group too.
void rankFolders(const FolderTally& ft, const std::int64_t anRate[4], int nTop, FolderRanking& out,
                 int nAsideGroup = kFolderCounted);

#endif  // PLOMET_ESTIMATOR_FOLDERS_H_
