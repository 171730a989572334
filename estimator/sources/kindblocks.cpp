#include "sources/kindblocks.h"

#include <cstdint>
#include <cstring>

namespace {

// The sources add most counts up to 2^64 - 1 and stay there; rsync's bytes
// wrap, as its own sum does (its check against rsync's total then fails).
struct Capped {
  void operator()(std::uint64_t& n, std::uint64_t nMore) const {
    n = n > UINT64_MAX - nMore ? UINT64_MAX : n + nMore;
  }
};
struct Zero {
  void operator()(std::uint64_t& n, std::uint64_t /*nMore*/) const { n = 0; }
};

// Each kind's counts, paired with another reader's. A count left out here
// would be lost (or doubled) when the listing is read in parts: the
// threads' tests compare every warning with one thread's.
template <class Op>
void eachCount(LsListing& ls, const LsListing& other, Op op) {
  op(ls.nErrors, other.nErrors);
  op(ls.nUnread, other.nUnread);
}

template <class Op>
void eachCount(CsvListing& csv, const CsvListing& other, Op op) {
  op(csv.nUnread, other.nUnread);
}

template <class Op>
void eachCount(RsyncListing& rsync, const RsyncListing& other, Op op) {
  op(rsync.nStated, other.nStated);
  op(rsync.nErrors, other.nErrors);
  op(rsync.nUnread, other.nUnread);
  op(rsync.nRounded, other.nRounded);
}

template <class Op>
void eachCount(LsJson& lsjson, const LsJson& other, Op op) {
  op(lsjson.nOpened, other.nOpened);
  op(lsjson.nClosed, other.nClosed);
  op(lsjson.nFolders, other.nFolders);
  op(lsjson.nUnknownSize, other.nUnknownSize);
  op(lsjson.nUnread, other.nUnread);
  op(lsjson.nLong, other.nLong);
  op(lsjson.nUndated, other.nUndated);
}

template <class Op>
void eachCount(RcloneListing& rclone, const RcloneListing& other, Op op) {
  op(rclone.nUnread, other.nUnread);
  op(rclone.nRounded, other.nRounded);
  op(rclone.nErrors, other.nErrors);
  op(rclone.nSkipped, other.nSkipped);
  op(rclone.nFiles, other.nFiles);
  op(rclone.nBytes, other.nBytes);
}

template <class Op>
void eachCount(BucketListing& bucket, const BucketListing& other, Op op) {
  op(bucket.nListed, other.nListed);
  op(bucket.nBytes, other.nBytes);
  op(bucket.nSlack, other.nSlack);
  op(bucket.nRounded, other.nRounded);
  op(bucket.nFolders, other.nFolders);
  op(bucket.nPrefixes, other.nPrefixes);
  op(bucket.nUnread, other.nUnread);
  op(bucket.nErrors, other.nErrors);
}

template <class Op>
void eachCount(UnixListing& listing, const UnixListing& other, Op op) {
  op(listing.nUnread, other.nUnread);
  op(listing.nRounded, other.nRounded);
  op(listing.nFolderGuess, other.nFolderGuess);
  op(listing.nErrors, other.nErrors);
  op(listing.nFiles, other.nFiles);
  op(listing.nBytes, other.nBytes);
  op(listing.nSlack, other.nSlack);
}

template <class Op>
void eachCount(RobocopyLog& log, const RobocopyLog& other, Op op) {
  op(log.nFiles, other.nFiles);
  op(log.nBytes, other.nBytes);
  op(log.nNoSize, other.nNoSize);
  op(log.nJobsClosed, other.nJobsClosed);
  RobocopyJob& job = log.job;
  const RobocopyJob& otherJob = other.job;
  op(job.nFiles, otherJob.nFiles);
  op(job.nBytes, otherJob.nBytes);
  op(job.nSlack, otherJob.nSlack);
  op(job.nNoSize, otherJob.nNoSize);
  op(job.nUnknown, otherJob.nUnknown);
}

template <class Listing>
void startPart(Listing& part, const Listing& start) {
  part = start;
  eachCount(part, part, Zero());
}

template <class Listing>
void joinCounts(Listing& listing, const Listing& part) {
  eachCount(listing, part, Capped());
}

// The totals a listing states: the last stated wins, as on one reader.
void joinStated(bool& bStated, std::uint64_t& nStated, bool bPart, std::uint64_t nPart) {
  if (!bPart) return;
  bStated = true;
  nStated = nPart;
}

bool sameLayout(const RcloneLayout& a, const RcloneLayout& b) {
  return a.bLsf == b.bLsf && a.nSeparator == b.nSeparator &&
         std::memcmp(a.szSeparator, b.szSeparator, a.nSeparator) == 0 && a.bCsv == b.bCsv &&
         a.nFields == b.nFields && a.nSize == b.nSize && a.nTime == b.nTime && a.nPath == b.nPath;
}

bool sameCsvHeader(const CsvListing& a, const CsvListing& b) {
  return a.bHeader == b.bHeader && a.cDelimiter == b.cDelimiter &&
         a.nColumnsUsed == b.nColumnsUsed &&
         std::memcmp(a.anColumn, b.anColumn, sizeof a.anColumn) == 0;
}

void joinCsv(CsvListing& csv, const CsvListing& part) {
  joinCounts(csv, part);
  csv.bOpenRow = part.bOpenRow;  // the row the part ended in, still open
  if (part.bOpenRow) csv.sRow = part.sRow;
}

void joinRsync(RsyncListing& rsync, const RsyncListing& part) {
  joinCounts(rsync, part);
  rsync.nBytes += part.nBytes;
  rsync.bTotal = rsync.bTotal || part.bTotal;
}

void joinBucket(BucketListing& bucket, const BucketListing& part) {
  joinCounts(bucket, part);
  joinStated(bucket.bStatedObjects, bucket.nStatedObjects, part.bStatedObjects,
             part.nStatedObjects);
  if (part.bStatedBytes) {
    bucket.bStatedBytes = true;
    bucket.nStatedBytes = part.nStatedBytes;
    bucket.nStatedSlack = part.nStatedSlack;
  }
}

void joinRclone(RcloneListing& rclone, const RcloneListing& part) {
  joinCounts(rclone, part);
  joinStated(rclone.bStatedFiles, rclone.nStatedFiles, part.bStatedFiles, part.nStatedFiles);
  joinStated(rclone.bStatedBytes, rclone.nStatedBytes, part.bStatedBytes, part.nStatedBytes);
}

// A part of a robocopy log with no job ended in it: its files join the job
// read before it, and its last file, if it read one, is the last.
void joinRobocopy(RobocopyLog& log, const RobocopyLog& part) {
  joinCounts(log, part);
  log.bRounded = log.bRounded || part.bRounded;
  log.nCounted = part.nCounted;  // a header's options read in the part
  if (!log.bUnknownClass && part.bUnknownClass) {
    log.bUnknownClass = true;
    log.sUnknownClass = part.sUnknownClass;
  }
  if (!part.bLastFromBefore) {
    log.bLastFile = part.bLastFile;
    log.sLastName = part.sLastName;
    log.nLastSize = part.nLastSize;
    log.bRetry = part.bRetry;
  }
  if (!part.sFolder.empty()) log.sFolder = part.sFolder;
}

// Whether a part of a robocopy log reads as it would after `log`: the job
// and its options as the part began them, no summary begun, no retry due,
// and none of its lines that a file from before it would read otherwise
// (an error line naming it); and no job ended in the part, whose checks
// need all of the job.
bool robocopyPartFits(const RobocopyLog& log, const RobocopyLog& start, const RobocopyLog& part) {
  return log.nCounted == start.nCounted && log.sRoot == start.sRoot && log.nSummaryRow == 0 &&
         !log.job.bSummary && !log.bRetry && !(part.bErrorOnLastFromBefore && log.bLastFile) &&
         part.nJobsClosed == 0 && !part.job.bSummary && part.nSummaryRow == 0;
}

bool joinUnix(UnixListing& listing, const UnixListing& part, Entry& entry) {
  bool bSettled = settleHeldLine(listing, part, entry);
  joinCounts(listing, part);
  joinStated(listing.bStatedFiles, listing.nStatedFiles, part.bStatedFiles, part.nStatedFiles);
  joinStated(listing.bStatedBytes, listing.nStatedBytes, part.bStatedBytes, part.nStatedBytes);
  if (part.pending.bHeld) listing.pending = part.pending;
  return bSettled;
}

// The kind whose state reads a kind: the object stores' clients share the
// bucket listing's, find, tar and dwalk the tools' listing's.
int sourceOf(int nKind) {
  switch (nKind) {
    case kKindMc:
    case kKindGsutil:
    case kKindAzcopy:
      return kKindS3;
    case kKindTar:
    case kKindDwalk:
      return kKindFind;
    default:
      return nKind;
  }
}

}  // namespace

bool kindReadsInParts(int nKind) {
  return nKind >= 0 && nKind < kKinds && kKindRows[nKind].read != nullptr && !isStreamKind(nKind);
}

void startKindPart(KindReader& part, const KindReader& start) {
  part.nKind = start.nKind;
  part.nObjects = 0;
  part.nDirFiles = 0;
  switch (sourceOf(start.nKind)) {
    case kKindLs:
      startPart(part.ls, start.ls);
      part.ls.nDateColumn = 0;
      break;
    case kKindRobocopy:
      startPart(part.robocopy, start.robocopy);
      part.robocopy.bLastFromBefore = true;
      part.robocopy.bErrorOnLastFromBefore = false;
      part.robocopy.bLastFile = part.robocopy.bRetry = false;
      part.robocopy.bUnknownClass = false;
      part.robocopy.bRounded = false;
      part.robocopy.sFolder.clear();
      break;
    case kKindCsv:
      startPart(part.csv, start.csv);
      part.csv.bOpenRow = false;
      break;
    case kKindRsync:
      startPart(part.rsync, start.rsync);
      part.rsync.nBytes = 0;
      part.rsync.bTotal = false;
      break;
    case kKindLsJson:
      startPart(part.lsjson, start.lsjson);
      part.lsjson.bLastCut = false;
      break;
    case kKindRclone:
      startPart(part.rclone, start.rclone);
      part.rclone.bStatedFiles = part.rclone.bStatedBytes = false;
      break;
    case kKindS3:
      startPart(part.bucket, start.bucket);
      part.bucket.bStatedObjects = part.bucket.bStatedBytes = false;
      break;
    default:  // kKindFind
      startPart(part.tools, start.tools);
      part.tools.bStatedFiles = part.tools.bStatedBytes = false;
      part.tools.pending.bHeld = false;
      part.tools.bFirstPath = false;
      part.tools.nDateField = -1;
      part.tools.nLastMode = 0;
      break;
  }
}

bool kindBlockFits(const KindReader& reader, const KindReader& start, const KindReader& part) {
  if (reader.nKind != start.nKind) return false;
  switch (sourceOf(start.nKind)) {
    case kKindRobocopy:
      return robocopyPartFits(reader.robocopy, start.robocopy, part.robocopy);
    case kKindCsv:
      return !reader.csv.bOpenRow && sameCsvHeader(reader.csv, start.csv);
    case kKindRclone:
      return reader.rclone.bLearnt == start.rclone.bLearnt &&
             sameLayout(reader.rclone.layout, start.rclone.layout);
    case kKindFind:
      return reader.tools.nTool == start.tools.nTool &&
             reader.tools.bLearnt == start.tools.bLearnt &&
             reader.tools.bEpochs == start.tools.bEpochs;
    default:
      return kindReadsInParts(start.nKind);
  }
}

bool joinKindPart(KindReader& reader, const KindReader& part, Entry& entry) {
  reader.nObjects += part.nObjects;
  reader.nDirFiles += part.nDirFiles;
  bool bSettled = false;
  switch (sourceOf(part.nKind)) {
    case kKindLs:
      joinCounts(reader.ls, part.ls);
      break;
    case kKindRobocopy:
      joinRobocopy(reader.robocopy, part.robocopy);
      break;
    case kKindCsv:
      joinCsv(reader.csv, part.csv);
      break;
    case kKindRsync:
      joinRsync(reader.rsync, part.rsync);
      break;
    case kKindLsJson:
      joinCounts(reader.lsjson, part.lsjson);
      reader.lsjson.bLastCut = part.lsjson.bLastCut;
      break;
    case kKindRclone:
      joinRclone(reader.rclone, part.rclone);
      break;
    case kKindS3:
      joinBucket(reader.bucket, part.bucket);
      break;
    default:  // kKindFind
      bSettled = joinUnix(reader.tools, part.tools, entry);
      break;
  }
  if (bSettled) reader.nObjects++;
  return bSettled;
}

bool kindPartsMayStart(const KindReader& reader) {
  if (reader.nKind != kKindRobocopy) return true;
  const RobocopyLog& log = reader.robocopy;
  return !log.sRoot.empty() && log.nSummaryRow == 0 && !log.job.bSummary;
}
