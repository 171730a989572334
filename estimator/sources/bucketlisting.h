// Listings of object stores written by their command-line clients.
//
//   aws s3 ls --recursive   date, time, size (or 11.1 MiB with
//                           --human-readable), key; --summarize adds
//                           "Total Objects: N" and "Total Size: B"
//        2026-12-07 22:01:02    1234567 photos/a.jpg
//   mc ls -r                [date time zone], size with its unit, storage class, key;
//                           --summarize adds "Total Size:" and "Total Objects:"
//        [2026-12-07 22:01:02 UTC] 1.2MiB STANDARD photos/a.jpg
//   gsutil ls -l            size, date and time in UTC, the gs:// URL; a last
//                           line "TOTAL: N objects, B bytes (...)"
//              1234567  2026-12-07T22:01:02Z  gs://bucket/photos/a.jpg
//   azcopy list             path; Content Length (older: Content Size) with a
//                           unit, or bytes with --machine-readable; with
//                           --running-tally "File count:" and "Total file size:"
//        INFO: photos/a.jpg;  Content Length: 1.18 MiB
//
// A key that ends in '/' is a folder (a folder marker of 0 bytes, or a
// prefix of a listing made without --recursive): it is not counted. Sizes
// with a unit are rounded: they count, and the bytes are said to be
// approximate; the totals the listing states are checked within what the
// rounding allows.
#ifndef PLOMET_ESTIMATOR_BUCKETLISTING_H_
#define PLOMET_ESTIMATOR_BUCKETLISTING_H_

#include <cstddef>
#include <cstdint>

#include "sources/entry.h"
#include "sources/kindtext.h"

/// The clients whose listings are read.
const int kBucketS3 = 0;
const int kBucketMc = 1;
const int kBucketGsutil = 2;
const int kBucketAzcopy = 3;

struct BucketListing {
  int nClient = kBucketS3;
  std::uint64_t nListed = 0;    // object lines read, folder markers included
  std::uint64_t nBytes = 0;     // their bytes
  std::uint64_t nSlack = 0;     // how far the rounded sizes may lie from the true ones
  std::uint64_t nRounded = 0;   // sizes written with a unit (not bytes)
  std::uint64_t nFolders = 0;   // folder markers and prefixes, not counted
  std::uint64_t nPrefixes = 0;  // of those, prefixes of a listing that does not recurse
  std::uint64_t nUnread = 0;    // lines in the shape of an object's whose size was not read
  std::uint64_t nErrors = 0;    // error lines of the client
  bool bStatedObjects = false;  // the listing states its objects
  std::uint64_t nStatedObjects = 0;
  bool bStatedBytes = false;  // and its bytes, within nStatedSlack
  std::uint64_t nStatedBytes = 0;
  std::uint64_t nStatedSlack = 0;
  bool bDates = true;    // give each entry its date
  bool bFolders = true;  // and its folder
  char szFolder[kFolderRoom] = {};
};

/// Starts reading a listing of the client.
void startBucket(BucketListing& bucket, int nClient);

/// Reads one line of nLength bytes, followed by a NUL and kPieceSlack
/// readable bytes, by the rules of the listing's client. Returns true with
/// the entry for an object that counts; its folder is a span into the
/// listing's state, valid until the next line.
bool readBucketLine(BucketListing& bucket, const char* szLine, std::size_t nLength, Entry& entry);

/// Returns true when the listing's own totals disagree with the objects and
/// bytes read (by more than the rounding allows).
bool bucketTotalsDiffer(const BucketListing& bucket);

/// Return 1 when a line has the shape of one of the client's lines (an
/// object, a folder, its totals, its errors); else 0.
int weighS3Line(const char* szLine, std::size_t nLength);
int weighMcLine(const char* szLine, std::size_t nLength);
int weighGsutilLine(const char* szLine, std::size_t nLength);
int weighAzcopyLine(const char* szLine, std::size_t nLength);

/// Returns true when a line is an object line of aws s3 ls as it writes
/// them: the date, the time to the second, and the size right-aligned so
/// that it ends in column 30 (or is wider). Such a line also has the shape
/// of a directory listing's, but is none.
bool isS3ObjectLine(const char* szLine, std::size_t nLength);

#endif  // PLOMET_ESTIMATOR_BUCKETLISTING_H_
