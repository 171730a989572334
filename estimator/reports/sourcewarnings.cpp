#include "reports/sourcewarnings.h"

#include <algorithm>
#include <cinttypes>
#include <string>

#include "reports/output.h"
#include "reports/warnings.h"

void warnLs(const LsListing& ls) {
  if (ls.nErrors > 0) {
    warn("ls reported %" PRIu64
         " errors in the listing (such as folders it could not open): what they name was not "
         "counted",
         ls.nErrors);
  }
  if (ls.nUnread > 0) {
    warn("%" PRIu64 " lines of the ls listing show a mode but no size and date; they were left out",
         ls.nUnread);
  }
}

void warnRobocopy(const RobocopyLog& logRead) {
  RobocopyLog log = logRead;
  closeRobocopyJob(log);
  if (log.nNoSize > 0) {
    warn("the log was written without sizes (/NS): %" PRIu64 " files were counted as 0 bytes",
         log.nNoSize);
  }
  if (log.bRounded) {
    warn("the log's sizes are rounded (such as 470.8 k): the bytes counted are approximate");
  }
  if (log.nJobsDiffering > 0 && log.nJobsChecked == 1) {
    warn("the log's own summary states %" PRIu64 " files and %" PRIu64
         " bytes copied or failed, but %" PRIu64 " files and %" PRIu64 " bytes were counted",
         log.nDifferingStatedFiles, log.nDifferingStatedBytes, log.nDifferingFiles,
         log.nDifferingBytes);
  } else if (log.nJobsDiffering > 0) {
    warn("the summaries of %" PRIu64 " of the log's %" PRIu64 " jobs state %" PRIu64
         " files and %" PRIu64 " bytes copied or failed, but %" PRIu64 " files and %" PRIu64
         " bytes were counted in those jobs",
         log.nJobsDiffering, log.nJobsChecked, log.nDifferingStatedFiles, log.nDifferingStatedBytes,
         log.nDifferingFiles, log.nDifferingBytes);
  }
  if (log.nUnknownUnchecked > 0) {
    // The class as written, its control bytes shown as '?'.
    std::string sClass = log.sUnknownClass;
    std::replace_if(
        sClass.begin(), sClass.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '?');
    if (sClass.empty()) sClass = "none, /NC";
    warn("%" PRIu64
         " files of a class not known (such as '%s') were counted as copied, "
         "and no summary in the log confirms them",
         log.nUnknownUnchecked, sClass.c_str());
  }
}

void warnCsv(const CsvListing& csv) {
  if (csvUnreadRows(csv) > 0) {
    warn("%" PRIu64 " rows of the CSV listing have no readable Length; they were left out",
         csvUnreadRows(csv));
  }
}

void warnRsync(const RsyncListing& rsync) {
  if (rsync.nErrors > 0) {
    warn("rsync reported %" PRIu64 " errors in the listing: what they name was not counted",
         rsync.nErrors);
  }
  if (rsync.nUnread > 0) {
    warn("%" PRIu64
         " lines of the rsync listing show a mode but no size and date; they were "
         "left out",
         rsync.nUnread);
  }
  if (rsync.nRounded > 0) {
    warn("%" PRIu64
         " sizes of the rsync listing are rounded (rsync -h, such as 1.50K) and were read as "
         "powers of 1,000: the bytes counted are approximate; list without -h for exact sizes",
         rsync.nRounded);
  }
  if (rsync.bTotal && rsync.nStated != rsync.nBytes) {
    warn("rsync's own total size is %" PRIu64 " bytes, but %" PRIu64
         " bytes were counted (links' text lengths included)",
         rsync.nStated, rsync.nBytes);
  }
}

// --- The exports of other tools: ncdu and gdu, rclone lsjson ----------------

void warnNcdu(const NcduExport& ncdu) {
  // The program that wrote it, as it names itself: gdu writes ncdu's format.
  std::string sTool = printable(ncdu.szProgram[0] != '\0' ? ncdu.szProgram : "ncdu");
  const char* szTool = sTool.c_str();
  if (ncdu.nExcluded > 0) {
    warn("%" PRIu64
         " entries of the %s export were excluded when it was made (by a pattern, or on another "
         "file system): what they hold was not counted",
         ncdu.nExcluded, szTool);
  }
  if (ncdu.nReadErrors > 0) {
    warn("%" PRIu64
         " entries of the %s export could not be read when it was made (read_error): what they "
         "hold was not counted",
         ncdu.nReadErrors, szTool);
  }
  if (ncdu.nUnread > 0) {
    warn("%" PRIu64 " entries of the %s export have an asize that is no size; they were left out",
         ncdu.nUnread, szTool);
  }
  if (ncdu.nUndated > 0) {
    warn("%" PRIu64
         " files of the %s export have no modification time (ncdu writes them only with -e: "
         "ncdu -e -o FILE)",
         ncdu.nUndated, szTool);
  }
  if (ncdu.bEndedEarly) {
    warn("the %s export ends early, inside its JSON, after %" PRIu64
         " bytes (it was cut off): what it lists after that was not counted",
         szTool, ncdu.nLength);
  }
}

void warnLsJson(const LsJson& lsjson) {
  if (lsjson.nUnknownSize > 0) {
    warn("%" PRIu64
         " files of the rclone lsjson listing have no size (Size -1: the store does not know it) "
         "and were counted as 0 bytes",
         lsjson.nUnknownSize);
  }
  if (lsjson.nLong > 0) {
    warn("%" PRIu64
         " lines of the rclone lsjson listing are longer than 4096 bytes; their objects were left "
         "out",
         lsjson.nLong);
  }
  if (lsjson.nUnread > lsjson.nLong) {
    warn("%" PRIu64
         " lines of the rclone lsjson listing hold no object that can be read; they were left out",
         lsjson.nUnread - lsjson.nLong);
  }
  if (lsjson.nUndated > 0) {
    warn("%" PRIu64
         " files of the rclone lsjson listing have no ModTime (rclone lsjson --no-modtime)",
         lsjson.nUndated);
  }
  if (lsJsonEndedEarly(lsjson)) {
    warn(
        "the rclone lsjson listing ends early, before its closing bracket (rclone was stopped, or "
        "its output cut off): the objects it would list after that were not counted");
  }
}

// --- The lists that other tools make, line by line -------------------------

void warnRclone(const RcloneListing& rclone) {
  if (rclone.nErrors > 0) {
    warn("rclone reported %" PRIu64 " errors in the listing: what they name was not counted",
         rclone.nErrors);
  }
  if (rclone.nSkipped > 0) {
    warn("rclone left out %" PRIu64
         " objects it cannot follow or copy (its NOTICE lines: links, "
         "special files): they were not counted",
         rclone.nSkipped);
  }
  if (rclone.nUnread > 0) {
    warn("%" PRIu64
         " lines of the rclone listing have no size and path in its layout; they were "
         "left out",
         rclone.nUnread);
  }
  if (rclone.nRounded > 0) {
    warn("%" PRIu64
         " sizes of the rclone listing are rounded (--human-readable, such as "
         "1.431Mi): the bytes counted are approximate; list without it for exact sizes",
         rclone.nRounded);
  }
  if ((rclone.bStatedFiles && rclone.nStatedFiles != rclone.nFiles) ||
      (rclone.bStatedBytes && rclone.nStatedBytes != rclone.nBytes)) {
    warn("rclone size states %" PRIu64 " objects and %" PRIu64 " bytes, but %" PRIu64
         " files and %" PRIu64 " bytes were counted",
         rclone.nStatedFiles, rclone.nStatedBytes, rclone.nFiles, rclone.nBytes);
  }
}

void warnBucket(const BucketListing& bucket, const char* szName) {
  if (bucket.nErrors > 0) {
    warn("the %s holds %" PRIu64 " error lines of its client: what they name was not counted",
         szName, bucket.nErrors);
  }
  if (bucket.nPrefixes > 0) {
    warn("the %s holds %" PRIu64
         " prefixes (folders) without their objects: it was not made "
         "recursively, and what lies below them was not counted",
         szName, bucket.nPrefixes);
  }
  if (bucket.nUnread > 0) {
    warn("%" PRIu64 " object lines of the %s have no size that could be read; they were left out",
         bucket.nUnread, szName);
  }
  if (bucket.nRounded > 0) {
    warn("%" PRIu64
         " sizes of the %s are written with a unit (such as 11.1 MiB) and rounded: "
         "the bytes counted are approximate",
         bucket.nRounded, szName);
  }
  if (bucketTotalsDiffer(bucket)) {
    warn("the %s states %" PRIu64 " objects and %" PRIu64 " bytes, but %" PRIu64
         " objects and %" PRIu64 " bytes were listed",
         szName, bucket.nStatedObjects, bucket.nStatedBytes, bucket.nListed, bucket.nBytes);
  }
}

void warnTools(const UnixListing& listing, const char* szName) {
  if (listing.nErrors > 0) {
    warn("the %s holds %" PRIu64 " error lines of its tool: what they name was not counted", szName,
         listing.nErrors);
  }
  if (listing.nUnread > 0) {
    warn("%" PRIu64 " lines of the %s are in none of its shapes; they were left out",
         listing.nUnread, szName);
  }
  if (listing.nRounded > 0) {
    warn("%" PRIu64
         " sizes of the %s are written with a unit (such as 5.000 GB) and rounded: "
         "the bytes counted are approximate",
         listing.nRounded, szName);
  }
  if (unixTotalsDiffer(listing)) {
    warn("the %s states %" PRIu64 " files and %" PRIu64 " bytes, but %" PRIu64 " files and %" PRIu64
         " bytes were counted",
         szName, listing.nStatedFiles, listing.nStatedBytes, listing.nFiles, listing.nBytes);
  }
}

void warnKind(const KindReader& reader) {
  switch (reader.nKind) {
    case kKindLs:
      warnLs(reader.ls);
      break;
    case kKindRobocopy:
      warnRobocopy(reader.robocopy);
      break;
    case kKindCsv:
      warnCsv(reader.csv);
      break;
    case kKindRsync:
      warnRsync(reader.rsync);
      break;
    case kKindNcdu:  // the exports of other tools
      warnNcdu(reader.ncdu);
      break;
    case kKindLsJson:
      warnLsJson(reader.lsjson);
      break;
    case kKindRclone:
      warnRclone(reader.rclone);
      break;
    case kKindS3:
    case kKindMc:
    case kKindGsutil:
    case kKindAzcopy:
      warnBucket(reader.bucket, kindName(reader.nKind));
      break;
    case kKindFind:
    case kKindTar:
    case kKindDwalk:
      warnTools(reader.tools, kindName(reader.nKind));
      break;
    default:
      break;
  }
  if (kindReadsFarFewer(reader)) {
    warn("read as %s (--kind=%s), the listing gave %" PRIu64 " objects, but %" PRIu64
         " of its lines are files in the shape of a directory listing; if it is one, give "
         "--kind=dir",
         kindName(reader.nKind), kKindRows[reader.nKind].szOption, reader.nObjects,
         reader.nDirFiles);
  }
}

void warnUnreadable(const WalkReport& report) {
  for (const WalkFailure& failure : report.firstUnreadable) {
    warn("cannot read folder '%s': %s", printable(failure.sPath.c_str()).c_str(),
         walkErrorText(failure.nError).c_str());
  }
  if (report.nUnreadable > 0) {
    warn("%" PRIu64 " folder%s could not be read; the files in %s were not counted",
         report.nUnreadable, report.nUnreadable == 1 ? "" : "s",
         report.nUnreadable == 1 ? "it" : "them");
  }
}
