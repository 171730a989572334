// The warnings of the listing kinds other than the directory listing and the
// schedule log: what each reader could not read, and where a listing's own
// totals disagree with what was counted.
#ifndef PLOMET_ESTIMATOR_REPORTS_SOURCEWARNINGS_H_
#define PLOMET_ESTIMATOR_REPORTS_SOURCEWARNINGS_H_

#include "sources/listingkind.h"
#include "sources/walk.h"

/// Warns of error lines and of object lines that could not be read.
void warnLs(const LsListing& ls);

/// Warns of sizes left out or rounded, of jobs whose summaries contradict
/// what was counted, and of classes not known that no summary confirms.
void warnRobocopy(const RobocopyLog& log);

/// Warns of rows that could not be read.
void warnCsv(const CsvListing& csv);

/// Warns of errors, of lines not read, of sizes rounded by -h, and of a
/// total that rsync's own contradicts.
void warnRsync(const RsyncListing& rsync);

/// Warns of entries excluded or not read when the export was made, of sizes
/// that are none, of files without times under --since, and of an export
/// that ends early.
void warnNcdu(const NcduExport& ncdu);

/// Warns of files of unknown size, of lines that hold no object that can be
/// read, of files without times under --since, and of a list that ends early.
void warnLsJson(const LsJson& lsjson);
/// Warns of rclone's errors, lines not read, rounded sizes, and totals of
/// rclone size that contradict what was counted.
void warnRclone(const RcloneListing& rclone);

/// Warns of an object store listing's errors, prefixes listed without their
/// objects, sizes not read or rounded, and totals it states that
/// contradict what was listed; szName is the kind's name.
void warnBucket(const BucketListing& bucket, const char* szName);

/// Warns of a find, tar or dwalk listing's error lines, lines not read,
/// rounded sizes and totals (dwalk's) that contradict what was counted.
void warnTools(const UnixListing& listing, const char* szName);

/// Writes the warnings of the reader's kind, and warns when it counted far
/// fewer objects than the lines in a directory listing's shape.
void warnKind(const KindReader& reader);

/// Warns of the folders that could not be read: the first by name, then
/// their number.
void warnUnreadable(const WalkReport& report);

#endif  // PLOMET_ESTIMATOR_REPORTS_SOURCEWARNINGS_H_
