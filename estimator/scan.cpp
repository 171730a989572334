// The scan: the folder trees given in the listing's place, each checked
// before the first is walked, walked into the tallies (and the listing of
// --list), then reported as a listing is.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "reports/output.h"
#include "reports/progress.h"
#include "reports/sincereport.h"
#include "reports/sourcewarnings.h"
#include "run.h"
#include "scanrun.h"
#include "sources/walk.h"

namespace {

void countScanEntry(void* pContext, const Entry& entry) {
  countEntry(*static_cast<Run*>(pContext), entry);
}

// The options of the scan's walk.
WalkOptions walkOptions(const Run& run) {
  WalkOptions options;
  options.nThreads =
      run.options.bThreads ? static_cast<int>(run.options.nThreads) : walkDefaultThreads();
  options.bOneFileSystem = run.options.bOneFileSystem;
  options.bNames = run.options.bList || bVerbose;
  options.bTimes = options.bNames || run.options.bSince;
  options.excludes.assign(run.options.excludes.begin(), run.options.excludes.end());
  return options;
}

// Adds what one root's walk met to what the roots before it met: the
// folders, and the first unreadable ones by path.
void addWalkReport(WalkReport& all, const WalkReport& one) {
  all.nFolders += one.nFolders;
  all.nUnreadable += one.nUnreadable;
  std::vector<WalkFailure>& kept = all.firstUnreadable;
  kept.insert(kept.end(), one.firstUnreadable.begin(), one.firstUnreadable.end());
  std::sort(kept.begin(), kept.end(),
            [](const WalkFailure& a, const WalkFailure& b) { return a.sPath < b.sPath; });
  if (kept.size() > WalkReport::kKept) kept.resize(WalkReport::kKept);
}

// Walks each path's tree into the tallies and the listing of --list. Returns
// false after saying why a root cannot be walked.
bool walkScan(Run& run, WalkReport& report, int& nStatus) {
  ScanRun scanRun;
  scanRun.pCount = countScanEntry;
  scanRun.pCountContext = &run;
  scanRun.bEcho = bVerbose != 0;
  if (run.options.bList) scanRun.sList = run.options.sList;
  if (!openScanList(scanRun)) return false;
  startProgress(run.progress, 0);
  scanRun.pProgress = &run.progress;
  const WalkOptions options = walkOptions(run);
  report = WalkReport();
  for (const char* szPath : run.paths) {
    WalkReport one;
    if (!walkTree(szPath, options, countScanBatch, &scanRun, one)) {
      endProgress(run.progress);
      if (scanRun.pList != nullptr) {  // a wrong path leaves no listing behind
        std::fclose(scanRun.pList);
        std::remove(run.options.sList.c_str());
      }
      outFlush();
      std::fprintf(stderr, "error: cannot open '%s': %s\n", printable(szPath).c_str(),
                   walkErrorText(one.nRootError).c_str());
      return false;
    }
    addWalkReport(report, one);
    scanRun.nFoldersBefore = report.nFolders;
  }
  endProgress(run.progress);
  nStatus = closeScanList(scanRun) ? kExitOk : kExitFailure;
  return true;
}

bool isPathSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

// True when the absolute path sInner is sOuter or lies below it.
bool liesWithin(const std::string& sInner, const std::string& sOuter) {
  if (sInner.compare(0, sOuter.size(), sOuter) != 0) return false;
  return sInner.size() == sOuter.size() || isPathSeparator(sOuter.back()) ||
         isPathSeparator(sInner[sOuter.size()]);
}

// Before anything is learnt or walked: each path of the scan can be opened,
// and none lies within another, which would count its files twice. Returns
// -1, or the exit status after saying why not.
int checkScanPaths(const Run& run) {
  std::vector<std::string> roots;
  for (const char* szPath : run.paths) {
    int nError = walkRootError(szPath);
    std::int64_t nRate = 0;
    if (nError == ENOENT && run.options.szRatesFrom != nullptr &&
        parseRateText(szPath, nRate) == kRateOk) {  // the four rates beside --rates-from
      return rejectCommandLine(run, "error: give the four rates or --rates-from, not both%s\n", "");
    }
    if (nError != 0) {
      outFlush();
      std::fprintf(stderr, "error: cannot open '%s': %s\n", printable(szPath).c_str(),
                   walkErrorText(nError).c_str());
      return kExitFailure;
    }
    roots.push_back(resolvedWalkPath(szPath));
  }
  for (std::size_t i = 0; i < roots.size(); i++) {
    for (std::size_t j = 0; j < roots.size(); j++) {
      if (i == j || !liesWithin(roots[j], roots[i])) continue;
      std::string sWhat = printable(run.paths[j]) + "' lies within '" + printable(run.paths[i]);
      return rejectCommandLine(run, "error: '%s': give each folder once\n", sWhat);
    }
  }
  return -1;
}

}  // namespace

int scan(int argc, char** argv, Run& run) {
  // A path that begins with a dash is given as ./-name: the paths come in
  // any number, so an option among them cannot be told by their count.
  if (const char* szArg = optionLikeArgument(argc, argv)) return rejectOptionLike(run, szArg);
  int nStatus = takeArguments(argc, argv, run);
  if (nStatus >= 0) return nStatus;
  run.paths.assign(argv + 2, argv + (run.options.szRatesFrom != nullptr ? argc : argc - 4));
  nStatus = checkScanPaths(run);
  if (nStatus < 0) nStatus = checkRunFiles(run, nullptr);
  if (nStatus >= 0) return nStatus;
  if (run.options.szRatesFrom != nullptr) {
    nStatus = learnRatesFrom(run);
    if (nStatus >= 0) return nStatus;
  }
  WalkReport report;
  if (!walkScan(run, report, nStatus)) return kExitFailure;
  outFlush();
  ReportFigures& figures = run.figures;
  figures.szKind = "scan";
  figures.listing = szFilename;
  figures.paths.assign(run.paths.begin(), run.paths.end());
#ifdef _WIN32
  figures.szEncoding = "utf-8";
#else
  figures.szEncoding = "plain";
#endif
  if (run.options.bSince) countChosenAside(run);
  takeCounted(run);
  displayResults(run);
  warnUnreadable(report);
  warnCounts(run);
  if (run.options.bSince) warnSince(run.since);
  if (run.bModel) warnModel(run);
  return finishListing(run, nStatus);
}
