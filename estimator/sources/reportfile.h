// plomet's own JSON reports read back, for --plan: each client writes its
// report where its files are (plomet -s ... --json --client=NAME), and the
// plan reads them all in one place.
//
// A stream (a file, or standard input) holds one report or several, one
// after another or one a line. Each is read through the JSON pull tokenizer
// in blocks, so memory stays the same whatever the stream: the members a plan
// uses are kept, every other member is passed over. Reading is strict about
// those members (a report of another format, or one that lacks its byte total
// or its estimate, is an error that says what is wrong) and tolerant of the
// rest, so that reports of later versions with more members still read.
//
// A report's folder listing is read too: with --top, the folders that take
// the longest show how a client too long for the window could be split.
#ifndef PLOMET_ESTIMATOR_SOURCES_REPORTFILE_H_
#define PLOMET_ESTIMATOR_SOURCES_REPORTFILE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sources/jsonpull.h"

/// The report format this version reads, as jsonreport writes it.
const std::uint64_t kReportFormat = 1;

/// The longest client name a report may hold, in bytes.
const std::size_t kMaxReportClient = 4096;

/// The folders of --top kept from a report, and the bytes of each name.
const std::size_t kReportFolders = 10;
const std::size_t kReportFolderName = 240;

/// One folder of a report's --top.
struct ReportFolder {
  std::string sName;  // cut after kReportFolderName bytes
  double dSeconds = 0;
};

/// What a plan takes from one report.
struct ReportFacts {
  bool bClient = false;  // the report names its client
  std::string sClient;
  std::uint64_t nObjects = 0;         // total.files
  std::uint64_t nBytes = 0;           // total.bytes
  bool bBytesExact = true;            // total.bytes_exact
  std::uint64_t nClassSeconds = 0;    // estimate_seconds, the four classes' estimate
  bool bModel = false;                // the report has an estimate by cost and bandwidth ...
  std::uint64_t nModelSeconds = 0;    // ... model.estimate_seconds
  std::vector<ReportFolder> folders;  // folders.top, the first kReportFolders
};

/// Reads the reports of one stream. Start it with startReports for each
/// stream; it holds the tokenizer and a block of the stream (about 70 KiB).
struct ReportReader {
  static constexpr std::size_t kBlockSize = 65536;
  std::FILE* pStream = nullptr;
  std::size_t nBlockSize = kBlockSize;  // bytes read at a time (tests make it small)
  bool bEnded = false;                  // the stream's end was handed over
  int nReadErrno = 0;
  std::uint64_t nReports = 0;  // reports begun in the stream so far
  std::string sError;          // what is wrong, when nextReport returned kReportBad
  JsonPull json;
  char aBlock[kBlockSize];
};

enum class ReportStatus { kReport, kNoMore, kBad };

/// Starts reading the open stream pStream (in binary mode) from its start.
void startReports(ReportReader& reader, std::FILE* pStream);

/// Reads the next report of the stream into facts. Returns kReport, or
/// kNoMore at the stream's end, or kBad with reader.sError saying what is
/// wrong: malformed JSON (and where), a value that is no report, a report of
/// another format, one of --calibrate, a member the plan uses missing or of
/// the wrong type, a read error. After kBad the stream is not read further.
ReportStatus nextReport(ReportReader& reader, ReportFacts& facts);

/// Lists the files directly inside the folder szFolder whose names end in
/// ".json" (in any letter case), as paths of the folder joined with the name,
/// sorted by name in byte order, into paths (added to what it holds). Returns
/// true, or false with sError saying why the folder cannot be read.
bool listReportFolder(const char* szFolder, std::vector<std::string>& paths, std::string& sError);

/// Returns true when szPath names a folder.
bool isReportFolder(const char* szPath);

#endif  // PLOMET_ESTIMATOR_SOURCES_REPORTFILE_H_
