#include "run.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>

#include "blocks.h"
#include "measurerun.h"
#include "plan.h"
#include "reports/calibrationreport.h"
#include "reports/folderreport.h"
#include "reports/htmlreport.h"
#include "reports/output.h"
#include "reports/sincereport.h"
#include "reports/sourcewarnings.h"
#include "reports/warnings.h"
#include "reports/windowreport.h"
#include "runfiles.h"
#include "scanrun.h"
#include "sources/compressed.h"
#include "sources/lslisting.h"
#include "sources/walk.h"
#include "streamrun.h"

namespace {

// Every line of the log goes to the calibration of each reading of the
// dates that selects it: both, but with --since.
void calibrateLogLine(Run& run, const Piece& piece, const char* szData, SinceFilter* pSince) {
  LineStamp stamp;
  bool bTimed = readLogStamp(piece.szText, piece.nLength, stamp, run.stamps);
  uint64_t nSize = 0;
  bool bObject = szData[0] != '\0' && parseSize(szData, nSize);
  bool bTooLarge = szData[0] != '\0' && !bObject;
  // A line without a time or an object tells nothing, but for an object too
  // large to be counted.
  if (!bTimed && !bObject && !bTooLarge) return;
  Selection selection;
  selection.bMonthFirst = selection.bDayFirst = true;
  if (pSince != nullptr) selection = judgeLine(*pSince, stamp, nSize);
  if (bTooLarge) calibrateTooLarge(run.logCalibration, selection);
  if (!bTimed && !bObject) return;
  calibrateStampedLine(run.logCalibration, stamp, bTimed, selection, bObject, nSize);
  if (!run.options.bHtml) return;
  if (selection.bMonthFirst) {
    timelineLine(run.timeline, bTimed, stamp.nSecondOfDay, bObject, nSize);
  }
  if (selection.bDayFirst && pSince != nullptr && !pSince->bOrderGiven) {
    timelineLine(run.timelineDayFirst, bTimed, stamp.nSecondOfDay, bObject, nSize);
  }
}

// With --since: a file of nSize bytes is counted when both readings of its
// date select it, and set aside for the reading that alone does. Returns the
// folders' group of the file, or -1 when neither reading selects it.
int countSelected(Run& run, const Selection& selection, uint64_t nSize) {
  if (selection.bMonthFirst && selection.bDayFirst) {
    countIntoTally(run.counted, nSize);
    return kFolderCounted;
  }
  setAside(run.since, selection, nSize);
  if (selection.bMonthFirst) return kFolderMonthFirstOnly;
  return selection.bDayFirst ? kFolderDayFirstOnly : -1;
}

// A dated line that is no file, such as a directory's, may still show the
// order of the listing's dates.
void weighDate(Run& run, const Piece& piece) {
  if (mayHoldTotals(piece.szText)) return;
  LineStamp stamp;
  bool bRead = nParseType == kParseListing
                   ? readListingStamp(piece.szText, piece.nLength, stamp, run.stamps)
                   : readLogStamp(piece.szText, piece.nLength, stamp, run.stamps);
  if (bRead) weighStamp(run.since.evidence, stamp);
}

// With --top, the whole of a line that was cut, for the path in it: the
// piece's text and the rest of the line, with the slack a piece has.
Piece wholeLine(Run& run, const Piece& piece) {
  std::string& sWhole = run.sWholeLine;  // grows to the longest such line, and stays
  sWhole.assign(piece.szText, piece.nLength);
  if (run.pBlockRest != nullptr) {
    sWhole.append(run.pBlockRest, run.nBlockRest);
  } else {
    readRestOfListingLine(run.reader, run.decision, piece, sWhole);
  }
  std::size_t nLength = sWhole.size();
  sWhole.append(kPieceSlack, '\0');
  return Piece{sWhole.c_str(), nLength, true, false};
}

// With --top, a line of a directory listing that holds no file may name the
// directory of the files that follow; such a header is read whole, however
// long its path.
void noteHeader(Run& run, const Piece& piece) {
  if (!piece.bCut || !namesDirectory(piece.szText)) {
    noteDirectoryLine(run.folders, piece);
    return;
  }
  noteDirectoryLine(run.folders, wholeLine(run, piece));
}

// With --top, a counted file of a directory listing or a log in its folder:
// the path follows the size field.
void countLineFolder(Run& run, const Piece& piece, uint64_t nSize, int nGroup) {
  Piece line = piece;
  const char* pPath = run.line.pSizeEnd;
  if (piece.bCut) {  // a file's path may run past the piece
    line = wholeLine(run, piece);
    pPath = line.szText + (run.line.pSizeEnd - piece.szText);
  }
  if (nParseType == kParseListing) {
    countListingFile(run.folders, pPath, sizeClass(nSize), nSize, nGroup);
  } else {
    countLogObject(run.folders, line, pPath, sizeClass(nSize), nSize, nGroup);
  }
}

// Writes the page of --html: the estimate's (bEstimate), the calibration's
// (pCalibration), or both, as for rates learnt from a log and used at once.
// Returns nStatus, or 1 when the page could not be written.
int writePage(Run& run, int nStatus, bool bEstimate, const CalibrationResult* pCalibration) {
  PageInput input;
  input.pFigures = &run.figures;
  input.bEstimate = bEstimate;
  SizeHistogram counted;
  bool bDayFirst = run.options.bSince && dayFirstChosen(run.since);
  if (input.bEstimate) {
    int nAside = !run.options.bSince ? kFolderCounted
                 : bDayFirst         ? kFolderDayFirstOnly
                                     : kFolderMonthFirstOnly;
    counted = countedFiles(run.page, nAside);
    input.pCounted = &counted;
    input.pTallies = &run.page;
  }
  if (pCalibration != nullptr) {
    input.pCalibration = pCalibration;
    // The log of --rates-from is read under the month-first reading alone.
    input.pTimeline = bDayFirst && !run.bModel ? &run.timelineDayFirst : &run.timeline;
  }
  input.readAt = utcText(std::time(nullptr));
  if (std::strcmp(szFilename, "-") != 0) input.modifiedAt = modifiedText(szFilename);
  int nErrno = writeHtmlFile(run.options.szHtml, htmlPage(input));
  if (nErrno == 0) return nStatus;
  std::fprintf(stderr, "error: cannot write the page to '%s': %s\n",
               printable(run.options.szHtml).c_str(), std::strerror(nErrno));
  return kExitFailure;
}

// With --rates-from: the estimate by the fitted cost and bandwidth over every
// object counted, and its range under the sessions' own fits.
void displayModel(Run& run) {
  ReportFigures& figures = run.figures;
  const CalibrationResult& model = run.model;
  figures.nModelSeconds =
      modelSeconds(model.dCostSeconds, model.dSecondsPerByte, nTotal, toUint64(i64Total));
  figures.spread = sessionSpread(model, nTotal, toUint64(i64Total));
  if (run.options.bJson) return;
  const bool bHuman = run.options.bHuman;
  char szTime[kDurationTextSize];
  formatTime(bHuman, figures.nModelSeconds, szTime);
  outFormat("Estimated Time by cost and bandwidth: %s\n", szTime);
  if (figures.spread.nSessions < 2) return;
  char szFastest[kDurationTextSize];
  char szSlowest[kDurationTextSize];
  formatTime(bHuman, figures.spread.nFastest, szFastest);
  formatTime(bHuman, figures.spread.nSlowest, szSlowest);
  outFormat("Over the %d sessions in the log: %s to %s\n", figures.spread.nSessions, szFastest,
            szSlowest);
}

// With --human: the lines that follow the table, sizes in the binary units
// and times in hours, minutes and seconds.
void printHumanLines(const Estimate& estimate) {
  char szTotal[kSizeTextSize];
  char szAverage[kSizeTextSize];
  formatHumanSize(static_cast<double>(toUint64(i64Total)), szTotal);
  formatHumanSize(static_cast<double>(estimate.nAverage), szAverage);
  outFormat("\nTotal size for all %" PRIu64 " files: %s. Average file size: %s\n\n", nTotal,
            szTotal, szAverage);
  char szTime[kDurationTextSize];
  formatHumanDuration(estimate.nSeconds, szTime);
  outFormat("Estimated Time: %s\n", szTime);
  formatHumanDuration(estimate.nAverageSeconds, szTime);
  outFormat("Estimated Time based on average file size: %s\n", szTime);
}

// After the estimates: how they compare with the backup window, and the
// folders that take the longest.
void displayExtras(Run& run, const Estimate& estimate) {
  const LongOptions& options = run.options;
  if (options.bWindow) {
    run.window = judgeWindow(options.nWindowSeconds, estimate.nSeconds, estimate.bPassedMax);
    if (!options.bJson) printWindowVerdict(run.window, nullptr, options.bHuman);
    if (run.bModel) {
      run.modelWindow = judgeWindow(options.nWindowSeconds, run.figures.nModelSeconds);
      if (!options.bJson) {
        printWindowVerdict(run.modelWindow, "by cost and bandwidth", options.bHuman);
      }
    }
  }
  if (options.nTop > 0) {
    const int64_t anRate[] = {nOneKbSec, nTenKbSec, nHundredKbSec, nTenMbSec};
    int nAside = kFolderCounted;
    if (options.bSince) {
      nAside = dayFirstChosen(run.since) ? kFolderDayFirstOnly : kFolderMonthFirstOnly;
    }
    int nTop = options.nTop > INT_MAX ? INT_MAX : static_cast<int>(options.nTop);
    rankFolders(run.folders, anRate, nTop, run.ranking, nAside);
    if (!options.bJson) printFolders(run.ranking, options.bHuman);
  }
}

// The report's numbers, for the JSON report written after the warnings.
void gatherFigures(Run& run, const Estimate& estimate) {
  ReportFigures& figures = run.figures;
  bool bExact = !bTotalPassedMax;
  for (int k = 0; k < kClasses; k++) {
    ClassFigures& c = figures.aClasses[k];
    std::int64_t nRate = classRate(k);
    c.nFiles = classFilesOf(k);
    c.nBytes = toUint64(classBytesOf(k));
    c.bExact = !classPassedMaxOf(k);
    c.nRate = nRate;
    c.nSeconds = secondsAt(classBytesOf(k), nRate);
    c.dSeconds = nRate > 0 ? static_cast<double>(c.nBytes) / static_cast<double>(nRate) : 0;
    bExact = bExact && c.bExact;
  }
  figures.nFiles = nTotal;
  figures.nBytes = toUint64(i64Total);
  figures.bExact = bExact;
  figures.nAverage = estimate.nAverage;
  figures.nAverageClass = sizeClass(estimate.nAverage);
  figures.nEstimateSeconds = estimate.nSeconds;
  figures.nAverageEstimateSeconds = estimate.nAverageSeconds;
  figures.bOwnTotals =
      nParseType == kParseListing && ownTotals(run.ownTotals, figures.nOwnFiles, figures.nOwnBytes);
  figures.szClient = run.options.szClient;
  figures.pWindow = run.options.bWindow ? &run.window : nullptr;
  figures.pSince = run.options.bSince ? &run.since : nullptr;
  figures.pFolders = run.options.nTop > 0 ? &run.ranking : nullptr;
  if (run.bModel) {
    figures.pModel = &run.model;
    figures.szModelLog = run.options.szRatesFrom;
    figures.pModelWindow = run.options.bWindow ? &run.modelWindow : nullptr;
  }
}

// A total that stayed at its largest value makes every number from it a
// lower bound: say which.
void warnPassedMax(const char* szWhat, bool bPassedMax) {
  if (bPassedMax) warn("the byte total of %s passed 18446744073709551615 and is not exact", szWhat);
}

// Compares the totals that a directory listing states about itself with what
// was counted.
void warnOwnTotals(const Run& run) {
  uint64_t nFiles;
  uint64_t nBytes;
  if (!ownTotals(run.ownTotals, nFiles, nBytes)) return;
  // With --since the listing's totals cover every file read, not those selected.
  uint64_t nCountedFiles = run.options.bSince ? run.since.nLines : nTotal;
  uint64_t nCountedBytes = run.options.bSince ? run.since.nBytes : toUint64(i64Total);
  if (nFiles == nCountedFiles && nBytes == nCountedBytes) return;
  warn("the listing's own totals are %" PRIu64 " files and %" PRIu64 " bytes, but %" PRIu64
       " files and %" PRIu64 " bytes were counted",
       nFiles, nBytes, nCountedFiles, nCountedBytes);
}

// What the reader found about the listing as a whole.
void warnReading(const Reader& reader) {
  ReadFacts facts = readFacts(reader);
  if (facts.bEmpty && readErrorText(reader) == nullptr) warn("the listing is empty");
  if (facts.bStoppedEarly) {
    warn("reading stopped at an end-of-text byte (26); the rest of the listing was not read");
  }
  if (facts.bNoLineFeeds) {
    warn(
        "the listing has no line feeds; lines that end in a carriage return alone are not "
        "read as lines");
  }
}

// True when --json stands among the long options, before any lone "--".
bool asksForJson(int argc, char** argv) {
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; i++) {
    if (std::strcmp(argv[i], "--json") == 0) return true;
  }
  return false;
}

// -h or -? in the option's place; --help is a long option.
bool isHelpRequest(const char* szArg) {
  return (szArg[0] == '-' || szArg[0] == '/') &&
         (equalsIgnoringCase(szArg + 1, "?") || equalsIgnoringCase(szArg + 1, "h"));
}

// The usage text, then the long options, on standard output: asked for, not
// a rejection.
void help(const Run& run) {
  printForms(run.sProgram.c_str());
  usage(run.sProgram.c_str(), false);
  outText("\n");
  printLongOptions();
  printExitStatuses();
}

// With --rates-from: the class rates become the model's, whole KB/s.
void useLearntRates(Run& run) {
  for (int k = 0; k < kClasses; k++) {
    uint64_t nRate = run.model.aClasses[k].nRateKBps;
    setClassRate(k, static_cast<int64_t>(nRate * 1024));
    std::snprintf(run.aszLearntRates[k], sizeof run.aszLearntRates[k], "%" PRIu64, nRate);
    run.figures.aClasses[k].szRate = run.aszLearntRates[k];
  }
  run.bModel = true;
}

// The files the run reads and writes, as the command line names them:
// szSource is the listing or the log of --calibrate (null when the command
// line lacks it); the scan's trees are its paths.
RunFiles runFiles(const Run& run, const char* szSource) {
  RunFiles files;
  const LongOptions& options = run.options;
  if (nParseType == kParseScan) {
    for (const char* szPath : run.paths) files.trees.push_back({"the tree", szPath});
  } else if (szSource != nullptr) {
    files.inputs.push_back({options.bCalibrate ? "the log" : "the listing", szSource});
  }
  if (options.szRatesFrom != nullptr) {
    files.inputs.push_back({"the log of --rates-from", options.szRatesFrom});
  }
  if (options.bHtml) files.outputs.push_back({"--html", options.szHtml});
  if (options.bList) files.outputs.push_back({"--list", options.sList});
  return files;
}

// Sets up the tallies that the options ask for, before anything is read.
void startRun(Run& run) {
  const LongOptions& options = run.options;
  run.nReadThreads = options.bThreads ? static_cast<int>(options.nThreads) : walkDefaultThreads();
  run.nReadBlock =
      options.bReadBlock ? static_cast<std::size_t>(options.nReadBlock) : kDefaultReadBlock;
  run.bExtras = options.bCalibrate || options.bSince || options.nTop > 0 || options.bHtml;
  if (options.bHtml) {
    run.page.bAll = options.bSince;
    startTimeline(run.timeline, options.nGapSeconds, options.nSessionGapSeconds);
    startTimeline(run.timelineDayFirst, options.nGapSeconds, options.nSessionGapSeconds);
  }
  if (options.nTop > 0) {
    startFolders(run.folders,
                 options.nDepth > INT_MAX ? INT_MAX : static_cast<int>(options.nDepth));
  }
  // A kind named is taken without deciding; the schedule log is -l's.
  if (options.nKind != kKindLog) run.decision.nNamed = options.nKind;
  startSince(run.since, options.nSince, options.bDateOrder, options.dateOrder);
  if (options.bCalibrate) {
    startLogCalibration(run.logCalibration, options.nGapSeconds, options.nSessionGapSeconds,
                        options.bDateOrder, options.dateOrder);
  }
}

}  // namespace

// With --rates-from, after the report: what the log did, and whether it
// measured enough objects for the classes whose rates the estimate takes
// (those holding files, and the average file's).
void warnModel(const Run& run) {
  if (run.bModelFromReport) return warnFewReportObjects(run.model);
  warnCalibration(run.model);
  bool abUsed[kClasses];
  for (int k = 0; k < kClasses; k++) abUsed[k] = classFilesOf(k) > 0;
  if (filesCounted() > 0) abUsed[sizeClass(run.estimate.nAverage)] = true;
  warnFewObjects(run.model, abUsed);
}

// The totals and the estimate that stayed at their largest value, whatever
// the source of the files.
void warnCounts(const Run& run) {
  for (int k = 0; k < kClasses; k++) warnPassedMax(kClassLabels[k], classPassedMaxOf(k));
  warnPassedMax("all classes", bTotalPassedMax);
  if (run.estimate.bPassedMax) {
    warn("the estimated time passed 18446744073709551615 seconds and is not exact");
  }
}

// Refuses outputs that would overwrite an input or each other, mix with the
// report on standard output, or land in the tree being scanned, before
// anything is read or written. Returns -1, or the exit status.
int checkRunFiles(const Run& run, const char* szSource) {
  std::string sClash = findFileClash(runFiles(run, szSource));
  if (sClash.empty()) return -1;
  return rejectCommandLine(run, "error: %s\n", sClash);
}

// An argument after the option that is no listing, path or rate but an
// option: a dash and a letter (a negative rate such as -5 or -.5, and "-"
// for standard input, are not). Returns it, or null when there is none.
const char* optionLikeArgument(int argc, char** argv) {
  for (int i = 2; i < argc; i++) {
    const char* szArg = argv[i];
    char c = szArg[0] == '-' ? szArg[1] : '\0';
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return szArg;
  }
  return nullptr;
}

// Rejects an option found among the arguments after the first.
int rejectOptionLike(const Run& run, const char* szArg) {
  const char* const aszOptions[] = {"d", "dv", "l", "lv", "s", "sv"};
  if (std::any_of(std::begin(aszOptions), std::end(aszOptions), [szArg](const char* szOption) {
        return equalsIgnoringCase(szArg + 1, szOption);
      })) {
    return rejectCommandLine(run, "error: the option '%s' comes first, and once\n", szArg);
  }
  return rejectCommandLine(run, "error: unknown option '%s'; long options begin with two dashes\n",
                           szArg);
}

int takeCommandLine(int& argc, char** argv, Run& run) {
  run.sProgram = printable(argc > 0 && argv[0] != nullptr ? argv[0] : "plomet");
  run.bUsageToStderr = asksForJson(argc, argv);
  if (!takeLongOptions(argc, argv, run.options, argc)) {
    usage(run.sProgram.c_str(), run.bUsageToStderr);
    return kExitUsage;
  }
  if (run.options.bHelp) {
    help(run);
    return kExitOk;
  }
  if (run.options.bVersion) {
    outText("plomet " PLOMET_VERSION "\n");
    const char* szCompressed = compressionsRead();
    outFormat("reads %s listings\n", szCompressed != nullptr ? szCompressed : "no compressed");
    return kExitOk;
  }
  // Which says what it lacks; --calibrate, --measure and --plan say it themselves.
  if (argc < 2 && !run.options.bCalibrate && run.options.szMeasure == nullptr &&
      !run.options.bPlan) {
    usage(run.sProgram.c_str(), run.bUsageToStderr);
    return kExitUsage;
  }
  if (argc >= 2 && isHelpRequest(argv[1])) {
    help(run);
    return kExitOk;
  }
  if (run.options.bPlan) return planNight(argc, argv, run);
  startRun(run);
  return -1;
}

int checkOptionsOfSource(const Run& run, int argc, char** argv) {
  const char* szOption = argv[1];
  const LongOptions& options = run.options;
  bool bScanOptions = options.bOneFileSystem || options.bList;
  if (bScanOptions && nParseType != kParseScan) {
    return rejectCommandLine(run, "error: %s goes with the scan, -s\n",
                             options.bList ? "--list" : "--one-file-system");
  }
  if (options.bReadBlock && nParseType == kParseScan) {
    return rejectCommandLine(run, "error: %s goes with a listing, -d or -l\n", "--read-block");
  }
  if (options.nKind != kKindUnknown && nParseType == kParseScan) {
    return rejectCommandLine(run, "error: --kind=%s goes with -d or -l, not with the scan\n",
                             kKindRows[options.nKind].szOption);
  }
  if (options.nKind != kKindUnknown && options.nKind != kKindLog && nParseType == kParseLog) {
    return rejectCommandLine(
        run, "error: --kind=%s contradicts -l, which reads a schedule log; use -d\n",
        kKindRows[options.nKind].szOption);
  }
  if (options.nKind == kKindLog) nParseType = kParseLog;  // -d --kind=log is -l
  if (!options.excludes.empty() && nParseType != kParseScan) {
    return rejectCommandLine(run, "error: %s goes with the scan, -s\n", "--exclude");
  }
  if (bVerbose && options.bJson) {  // the echo would break the JSON on standard output
    return rejectCommandLine(run, "error: --json does not go with the verbose option '%s'\n",
                             szOption);
  }
  // The scan's paths are known once its arguments are taken.
  if (nParseType == kParseScan) return -1;
  return checkRunFiles(run, argc > 2 ? argv[2] : nullptr);
}

int takeRatesFromArguments(int argc, char** argv, const Run& run) {
  const char* szRatesFrom = run.options.szRatesFrom;
  if (nParseType == kParseScan && argc >= 3) {  // one path or more
    szFilename = argv[2];
    return -1;
  }
  if (argc != 3) {
    if (const char* szArg = optionLikeArgument(argc, argv)) return rejectOptionLike(run, szArg);
  }
  if (argc > 3) {
    return rejectCommandLine(run, "error: give the four rates or --rates-from, not both%s\n", "");
  }
  if (argc != 3) {
    return rejectCommandLine(
        run, "error: expected 2 arguments with --rates-from (the option and a listing), got %s\n",
        std::to_string(argc - 1));
  }
  szFilename = argv[2];
  if (std::strcmp(szFilename, "-") == 0 && std::strcmp(szRatesFrom, "-") == 0) {
    return rejectCommandLine(
        run, "error: the log and the listing cannot both be standard input%s\n", "");
  }
  return -1;
}

int takeLog(int argc, char** argv, const Run& run) {
  if (argc >= 2 && parseOption(argv[1])) {
    return rejectCommandLine(
        run,
        "error: --calibrate reads a schedule log and takes no option such as '%s' and no rates\n",
        argv[1]);
  }
  if (argc != 2) {
    return rejectCommandLine(run, "error: expected 1 argument with --calibrate (the log), got %s\n",
                             std::to_string(argc - 1));
  }
  szFilename = argv[1];
  nParseType = kParseLog;
  bVerbose = 0;
  return checkRunFiles(run, szFilename);
}

int learnRatesFrom(Run& run) {
  if (isRatesReport(run.options.szRatesFrom)) {
    if (!readRatesReportOf(run)) return kExitFailure;
    useLearntRates(run);
    return -1;
  }
  // The log is read as --calibrate reads one; the listing's reading is set
  // back afterwards.
  const int nListingType = nParseType;
  const int bListingVerbose = bVerbose;
  const bool bListingExtras = run.bExtras;
  nParseType = kParseLog;
  bVerbose = 0;
  run.bExtras = run.bLearning = true;
  const LongOptions& options = run.options;
  startLogCalibration(run.logCalibration, options.nGapSeconds, options.nSessionGapSeconds, false,
                      DateOrder::kMonthFirst);
  uint64_t nLines = 0;
  int nStatus = readListing(run, options.szRatesFrom, nLines);
  nParseType = nListingType;
  bVerbose = bListingVerbose;
  run.bExtras = bListingExtras;
  run.bLearning = false;
  if (nStatus != kExitOk) return kExitFailure;
  outFlush();  // an error comes after whatever was written
  if (finishCalibration(chosenCalibration(run.logCalibration), run.model) != 0) {
    return kExitFailure;
  }
  useLearntRates(run);
  return -1;
}

bool takeListingFacts(Run& run) {
  ReportFigures& figures = run.figures;
  figures.szReadError = readErrorText(run.reader);
  figures.szKind = nParseType == kParseListing ? listingKindName(run.decision) : "schedule log";
  if (nParseType == kParseListing && kindError(run.kinds) != nullptr) {
    outFlush();
    std::fprintf(stderr, "error: %s\n", kindError(run.kinds));
    return false;
  }
  figures.listing = szFilename;
  figures.szEncoding = readEncoding(run.reader);
  Entry entry;  // what a kind held back until the listing's end
  if (nParseType == kParseListing && finishKindReader(run.kinds, entry)) countEntry(run, entry);
  return true;
}

void takeKindLine(Run& run, const Piece& piece) {
  KindReader& reader = run.kinds;
  if (reader.nKind != listingKind(run.decision)) {
    startKindReader(reader, listingKind(run.decision), todayLocal(), run.options.bSince,
                    run.options.nTop > 0, &run.decision.held);
  }
  if (isStreamKind(reader.nKind)) {  // the whole listing, from this line on
    takeStreamListing(run, piece);
    return;
  }
  Entry entry;
  bool bObject = readKindLine(reader, piece, entry);
  if (bVerbose) {
    char szSize[24] = "";
    if (bObject) std::snprintf(szSize, sizeof szSize, "%" PRIu64, entry.nSize);
    outFormat("%s( line: ", kindName(reader.nKind));
    outWrite(piece.szText, std::strlen(piece.szText));
    outFormat(", data: %s )\n", szSize);
  }
  if (bObject) countEntry(run, entry);
}

void takeLineExtras(Run& run, const Piece& piece, const char* szData) {
  const LongOptions& options = run.options;
  if (options.bCalibrate || run.bLearning) {
    // With --rates-from the log's lines are all learnt from: --since is the listing's.
    bool bSelect = options.bSince && !run.bLearning;
    calibrateLogLine(run, piece, szData, bSelect ? &run.since : nullptr);
    return;
  }
  if (options.nTop > 0 && nParseType == kParseListing && szData[0] == '\0') noteHeader(run, piece);
  uint64_t nSize;
  if (szData[0] == '\0' || !parseSize(szData, nSize)) {
    processResults(szData);  // no file, or one too large to be one
    if (options.bSince && szData[0] == '\0') weighDate(run, piece);
    return;
  }
  int nGroup = kFolderCounted;
  if (options.bSince) {
    Selection selection =
        judgeLineText(run.since, piece.szText, piece.nLength, nParseType == kParseListing, nSize);
    nGroup = countSelected(run, selection, nSize);
  } else {
    countIntoTally(run.counted, nSize);
  }
  if (options.bHtml) countPageFile(run.page, nSize, nGroup);
  if (options.nTop > 0 && nGroup >= 0) countLineFolder(run, piece, nSize, nGroup);
}

void countEntry(Run& run, const Entry& entry) {
  int nGroup = kFolderCounted;
  if (run.options.bSince) {
    nGroup = countSelected(run, judgeLine(run.since, entry.stamp, entry.nSize), entry.nSize);
  } else {
    countIntoTally(run.counted, entry.nSize);
  }
  if (run.options.bHtml) countPageFile(run.page, entry.nSize, nGroup);
  if (run.options.nTop == 0 || nGroup < 0) return;
  countFolderFile(run.folders, entry.pFolder, entry.nFolder, sizeClass(entry.nSize), entry.nSize,
                  nGroup);
}

void takeCounted(Run& run) {
  addClassTally(run.counted);
  run.counted = ClassTally();
}

void countChosenAside(const Run& run) {
  const AsideTally& aside = chosenAside(run.since);
  ClassTally tally;
  for (int k = 0; k < kClasses; k++) {
    tally.anFiles[k] = aside.anFiles[k];
    tally.anBytes[k] = aside.anBytes[k];
    tally.abPassedMax[k] = aside.abPassedMax[k];
  }
  addClassTally(tally);
}

void printReportHead(const Run& run) {
  if (run.options.bJson) return;
  if (run.options.bSince) printSelection(run.since, "Files changed", filesCounted());
  if (!run.bModel) return;
  std::string source = printable(run.options.szRatesFrom);
  if (run.bModelFromReport) {
    const RatesReport& report = run.ratesReport;
    printRatesReport(source.c_str(), report.bMeasured, printable(report.sOrigin.c_str()).c_str(),
                     run.model);
  } else {
    printRatesSource(source.c_str(), run.model);
  }
}

void finishEstimate(Run& run, const Estimate& estimate) {
  run.estimate = estimate;
  if (run.options.bHuman) printHumanLines(estimate);
  if (run.bModel) displayModel(run);
  displayExtras(run, estimate);
  if (run.options.bJson || run.options.bHtml) gatherFigures(run, estimate);
}

void warnListing(const Run& run, uint64_t nLines) {
  uint64_t nFilesRead = run.options.bSince ? run.since.nLines : nTotal;  // selected or not
  if (nLines > 0 && nFilesRead == 0) {
    if (nParseType == kParseListing && listingKind(run.decision) == kKindDir &&
        run.decision.evidence.nIndentedDir >= kMinEvidence) {
      warn(
          "no file sizes found; the listing's file lines are indented (they begin with a blank "
          "or a tab): remove the indent");
    } else {
      warn("no file sizes found; check that the option (-d or -l) matches the listing");
    }
  }
  if (nTooLarge > 0) {
    warn("%" PRIu64 " sizes too large to be file sizes were left out", nTooLarge);
  }
  if (nParseType == kParseLog && nNoDigitSizes > 0) {
    warn("%" PRIu64 " object lines had no size after the arrow and were counted as 0 bytes",
         nNoDigitSizes);
  }
  warnCounts(run);
  warnReading(run.reader);
  if (nParseType == kParseListing && nFilesRead > 0 && run.line.nArrowFiles * 2 >= nFilesRead) {
    warn(
        "the listing looks like a schedule log; check that the option (-d or -l) matches the "
        "listing");
  }
  if (run.line.nUnitSizes > 0) {
    warn("%" PRIu64
         " lines give a size with a unit (such as 11.1 MiB), which is no number of "
         "bytes: they were not counted; if the listing is of another kind, give --kind",
         run.line.nUnitSizes);
  }
  if (nParseType == kParseListing) {
    warnOwnTotals(run);
    warnKind(run.kinds);
  }
  if (run.options.bSince) warnSince(run.since);
  if (run.bModel) warnModel(run);
}

int finishListing(Run& run, int nStatus) {
  if (run.options.bJson) writeJsonReport(run.figures);
  // A model read from a report has no log to show.
  const CalibrationResult* pLearnt = run.bModel && !run.bModelFromReport ? &run.model : nullptr;
  if (run.options.bHtml) nStatus = writePage(run, nStatus, true, pLearnt);
  return nStatus;
}

void warnRates(const Run& run, int nAverageClass) {
  for (int k = 0; k < kClasses; k++) {
    int64 i64Bytes = classBytesOf(k);
    bool bEmpty = i64Bytes.lo == 0 && i64Bytes.hi == 0;
    if (classRate(k) > 0 || (bEmpty && k != nAverageClass)) continue;
    // A rate's text, as parseRateText accepted it, is above 0 when it holds
    // no minus sign and a digit other than 0.
    const char* szRate = run.figures.aClasses[k].szRate;
    if (std::strchr(szRate, '-') == nullptr && std::strpbrk(szRate, "123456789") != nullptr) {
      warn("rate for %s is less than one byte per second; its time counts as 0", kClassLabels[k]);
    } else {
      warn("rate for %s is not a positive number; its time counts as 0", kClassLabels[k]);
    }
  }
}

int finishRun(const Run& run, int nStatus) {
  int nErrno = outFlush();
  if (nErrno != 0) {
    std::fprintf(stderr, "write error: %s\n", std::strerror(nErrno));
    return kExitFailure;
  }
  bool bWindowMissed = run.options.bWindow && !run.window.bFits;
  if (nStatus == kExitOk && run.options.bStrict && (warningCount() > 0 || bWindowMissed)) {
    return kExitWarning;
  }
  return nStatus;
}

int reportCalibration(Run& run) {
  CalibrationResult result;
  outFlush();  // an error comes after whatever was written
  const bool bSince = run.options.bSince;
  const Calibration& cal = bSince ? chosenCalibration(run.logCalibration, dayFirstChosen(run.since))
                                  : chosenCalibration(run.logCalibration);
  int nStatus = finishCalibration(cal, result);
  if (nStatus != 0) return nStatus;
  if (bSince) run.figures.pSince = &run.since;
  if (run.options.bJson) {
    if (bSince) warnSince(run.since);
    warnCalibration(result);
    writeJsonCalibration(run.figures, result);
  } else {
    if (bSince) printSelection(run.since, "Lines written", selectedLines(run.since));
    printCalibration(result);
    outFlush();
    if (bSince) warnSince(run.since);
    warnCalibration(result);
  }
  if (run.options.bHtml) return writePage(run, kExitOk, false, &result);
  return kExitOk;
}

int rejectArgumentCount(const Run& run, int argc, char** argv) {
  if (const char* szArg = optionLikeArgument(argc, argv)) return rejectOptionLike(run, szArg);
  const char* szFormat =
      nParseType == kParseScan
          ? "error: expected 6 arguments or more (the option, a path or more and four rates), "
            "got %s\n"
          : "error: expected 6 arguments (the option, a listing and four rates), got %s\n";
  return rejectCommandLine(run, szFormat, std::to_string(argc - 1));
}

int rejectOption(const Run& run, const char* szArg) {
  struct stat info {};
  if (stat(szArg, &info) == 0 && S_ISDIR(info.st_mode)) {
    std::string sPath = printable(szArg);
    return rejectCommandLine(run, "error: '%s\n",
                             sPath + "' is a folder, not an option; to scan it, use -s " + sPath);
  }
  const char* szFormat = szArg[0] == '-' || szArg[0] == '/'
                             ? "error: unknown option '%s'\n"
                             : "error: the first argument must be the option -d, -l, -dv or "
                               "-lv, not '%s'\n";
  return rejectCommandLine(run, szFormat, szArg);
}
