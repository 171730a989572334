// The listing that the scan writes (--list, and the echo of -sv): a
// directory listing that -d reads back to the same report.
//
// Each folder's objects follow a header line that names the folder; each
// object is one line with its modification time (ISO date, 24-hour time with
// seconds), its size without separators (a link is <SYMLINK>, as in the
// shell's listing) and its name; the listing ends with its own totals:
//
//    Directory of /srv/share/docs/
//
//   2026-12-08  23:30:12             4096 notes.txt
//   2026-12-08  23:31:00        <SYMLINK> latest
//
//        Total Files Listed:
//                 2 File(s)             4096 bytes
//
// Control bytes in names and paths are written as '?', so that every object
// stays one line; so is the first byte of a "<DIR>" or "File(s)" inside a
// name, which the listing's reader would take for a folder or a summary.
#ifndef PLOMET_ESTIMATOR_SCANLIST_H_
#define PLOMET_ESTIMATOR_SCANLIST_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "sources/walk.h"

/// Writes the folder path [pFolder, pFolder + nFolder) into sOut with its
/// control bytes as '?': the folder's name in the listing and the tallies.
void printableFolder(const char* pFolder, std::size_t nFolder, std::string& sOut);

/// Appends the lines that open a folder's objects; sFolder is its path as
/// printableFolder wrote it, cSeparator the platform's.
void appendListingHeader(std::string& sOut, const std::string& sFolder, char cSeparator);

/// Appends one object's line.
void appendListingLine(std::string& sOut, const WalkObject& object, const char* szName);

/// Appends the closing lines: the number of objects and their bytes.
void appendListingTotals(std::string& sOut, std::uint64_t nObjects, std::uint64_t nBytes);

#endif  // PLOMET_ESTIMATOR_SCANLIST_H_
