// Listings written by ls -l and ls -lR, GNU or BSD, in any time style that
// ls offers by name and in the month names of many languages.
//
// A line is a folder header ("./sub:"), a "total N" line (blocks, not bytes),
// an error that ls wrote among its output ("ls: cannot open directory ..."),
// or an object: its mode (whose first letter tells a file from a folder, a
// link, a device, a FIFO or a socket), links, owner, group, size, date and
// name. Owner and group may be left out or numeric; the size is the field
// right before the date, which is found by its shape:
//
//   Mar 14 15:02   Mar 14  2020   16 Sep 12:12   14. Mär 2020   1 déc.  17:45
//   12月  1 17:45   11月20日 08:30   2020년  3월 14일   2020-03-14 15:02
//   2020-03-14 15:02:07.123456789 +0100   03-14 15:02   2020-03-14
//
// The lines may be indented (by a tab, as pasted), and the mode may follow
// the inode and blocks columns of ls -i and ls -s. BSD's ls -lT writes the
// time with seconds and the year after it: Mar 14 15:02:07 2020.
//
// ls writes the time instead of the year for files of the last six months.
// Such a date is given the year that puts it on or before the day after
// today (the run's date): this year, or else the year before.
#ifndef PLOMET_ESTIMATOR_LSLISTING_H_
#define PLOMET_ESTIMATOR_LSLISTING_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "sources/entry.h"

/// Today's date, which gives dates written without a year their year.
struct CivilDate {
  int nYear = 1970;
  int nMonth = 1;
  int nDay = 1;
};

/// Returns the date of today in local time.
CivilDate todayLocal();

struct LsListing {
  CivilDate today;
  std::string sFolder = ".";  // the last header's folder; a listing without one is "."
  std::uint64_t nErrors = 0;  // lines that ls wrote about what it could not read
  std::uint64_t nUnread = 0;  // object lines whose date or size was not found
  // ls aligns the columns of a folder's lines: where the last line's date
  // began, tried first on the next; 0 when not known.
  std::size_t nDateColumn = 0;
};

/// Starts a listing read on the given day.
void startLs(LsListing& ls, const CivilDate& today);

/// Reads one line of nLength bytes, followed by a NUL and kPieceSlack
/// readable bytes, as the reader hands lines out. Returns true with the
/// entry when the line is an object that counts (anything but a folder);
/// the entry's folder is a span into ls's state, valid until the next line.
bool readLsLine(LsListing& ls, const char* szLine, std::size_t nLength, Entry& entry);

/// Returns where the mode of an object's line starts: after an indent and
/// up to two columns of numbers (the inode of ls -i, the blocks of ls -s,
/// also as 4.0K), or nullptr when no mode follows them.
const char* lsModeStart(const char* szLine);

/// Reads the date that starts at pC (at a field's start in such a line:
/// bytes up to kPieceSlack after its NUL may be read). Returns the end of
/// its last field, with the stamp, or nullptr when no date starts there.
const char* readLsDate(const char* pC, const CivilDate& today, LineStamp& stamp);

/// Returns the month (1 to 12) of an abbreviated month name of nLength bytes,
/// with or without a final full stop, in any letter case for A to Z; 0 for
/// any other word.
int monthOfName(const char* pC, std::size_t nLength);

/// monthOfName(pC, 3), for the three bytes at pC (and a fourth that may be
/// read), at a lesser cost.
int monthOfThreeBytes(const char* pC);

#endif  // PLOMET_ESTIMATOR_LSLISTING_H_
