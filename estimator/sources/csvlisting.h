// Listings exported by PowerShell as CSV (Export-Csv, ConvertTo-Csv).
//
// An optional "#TYPE ..." line or a spreadsheet's "sep=;" line, a header of
// column names, then one row per object: fields separated by commas (by the
// culture's separator, such as ';', with -UseCulture: the header's own, or
// the one sep= names), quoted or not; a quoted field may hold the separator,
// doubled quotes and line breaks. Blank lines are passed over. The columns
// used: Length (the size; empty for a folder), FullName or DirectoryName
// (the folder), LastWriteTime (in the exporting machine's date format),
// PSIsContainer, Mode and Attributes (which tell folders), LinkType and
// Mode (which tell links: a row whose Attributes hold ReparsePoint alone,
// such as a deduplicated, tiered or cloud file, counts its Length).
#ifndef PLOMET_ESTIMATOR_CSVLISTING_H_
#define PLOMET_ESTIMATOR_CSVLISTING_H_

#include <cstddef>
#include <cstdint>
#include <string>

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
  kCsvLinkType,
  kCsvColumns
};

/// The room for a folder's path whose quotes were undoubled.
const std::size_t kCsvFolderRoom = 4096 + 1;
/// The longest row whose quoted fields hold line breaks that is joined;
/// a longer one is left out as unread.
const std::size_t kCsvMaxRow = 65536;

struct CsvListing {
  bool bHeader = false;            // the header was read
  char cDelimiter = '\0';          // between fields: ',', ';' or a tab; '\0' before the header
  int anColumn[kCsvColumns] = {};  // each column's index in a row, or -1
  int nColumnsUsed = 0;            // one more than the largest index used
  std::uint64_t nUnread = 0;       // rows without a readable Length
  bool bDates = true;              // read each row's LastWriteTime
  bool bFolders = true;            // and its folder
  char szFolder[kCsvFolderRoom] = {};
  StampCache stamps;  // the date read last
  // A row whose quoted field holds a line break, joined line by line until
  // its quotes close; grows to the longest such row, and stays.
  bool bOpenRow = false;
  std::string sRow;
};

/// Returns true for a line that may stand before a CSV export's header: a
/// "#TYPE ..." line, or "sep=X" naming the separator.
bool isCsvPreamble(const char* szLine, std::size_t nLength);

/// Starts reading a listing.
void startCsv(CsvListing& csv);

/// Reads one line of nLength bytes, followed by a NUL and kPieceSlack
/// readable bytes, as the reader hands lines out. Returns true with the
/// entry for a row that is an object that counts (anything but a folder);
/// its folder is a span into the line or csv's state.
bool readCsvLine(CsvListing& csv, const char* szLine, std::size_t nLength, Entry& entry);

/// Returns the rows without a readable Length, a row still open at the
/// listing's end (a quote never closed) among them.
std::uint64_t csvUnreadRows(const CsvListing& csv);

/// Returns true when the header was read and it has no Length column.
bool csvLacksLength(const CsvListing& csv);

#endif  // PLOMET_ESTIMATOR_CSVLISTING_H_
