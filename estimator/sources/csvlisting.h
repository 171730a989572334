// Listings exported by PowerShell as CSV (Export-Csv, ConvertTo-Csv).
//
// An optional "#TYPE ..." line, a header of column names, then one row per
// object: fields separated by commas, quoted or not; a quoted field may hold
// commas and doubled quotes. Blank lines are passed over. The columns used:
// Length (the size; empty for a folder), FullName or DirectoryName (the
// folder), LastWriteTime (in the exporting machine's date format),
// PSIsContainer, Mode and Attributes (which tell folders and links).
#ifndef PLOMET_ESTIMATOR_CSVLISTING_H_
#define PLOMET_ESTIMATOR_CSVLISTING_H_

#include <cstddef>
#include <cstdint>

#include "sources/entry.h"

/// The columns a listing's rows are read by.
enum CsvColumn {
  kCsvLength,
  kCsvFullName,
  kCsvDirectoryName,
  kCsvLastWriteTime,
  kCsvPSIsContainer,
  kCsvMode,
  kCsvAttributes,
  kCsvColumns
};

/// The room for a folder's path whose quotes were undoubled.
const std::size_t kCsvFolderRoom = 4096 + 1;

struct CsvListing {
  bool bHeader = false;              // the header was read
  int anColumn[kCsvColumns] = {};    // each column's index in a row, or -1
  int nColumnsUsed = 0;              // one more than the largest index used
  std::uint64_t nUnread = 0;         // rows without a readable Length
  bool bDates = true;                // read each row's LastWriteTime
  bool bFolders = true;              // and its folder
  char szFolder[kCsvFolderRoom] = {};
  StampCache stamps;  // the date read last
};

/// Starts reading a listing.
void startCsv(CsvListing& csv);

/// Reads one line of nLength bytes, followed by a NUL and kPieceSlack
/// readable bytes, as the reader hands lines out. Returns true with the
/// entry for a row that is an object that counts (anything but a folder);
/// its folder is a span into the line or csv's state.
bool readCsvLine(CsvListing& csv, const char* szLine, std::size_t nLength, Entry& entry);

/// Returns true when the header was read and it has no Length column.
bool csvLacksLength(const CsvListing& csv);

#endif  // PLOMET_ESTIMATOR_CSVLISTING_H_
