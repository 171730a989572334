// One run's wiring: the state of every capability beside the core, in one
// struct, and the procedures that take an entry from any source to the
// tallies asked for, and the tallies to the reports at the end.
//
// The core (plomet.cpp) reads the command line, the listing and prints the
// report; for every line that a plain run would not look at twice, and
// before and after the report, it calls the procedures here. A Run holds
// the reader and its block of text (about 2 MiB): main allocates it once.
#ifndef PLOMET_ESTIMATOR_RUN_H_
#define PLOMET_ESTIMATOR_RUN_H_

#include <cstdint>
#include <string>
#include <vector>

#include "core.h"
#include "options.h"
#include "reports/jsonreport.h"
#include "reports/progress.h"
#include "sources/entry.h"
#include "sources/listingkind.h"
#include "sources/ratesreport.h"
#include "sources/reader.h"
#include "tallies/calibrate.h"
#include "tallies/folders.h"
#include "tallies/htmltally.h"
#include "tallies/owntotals.h"
#include "tallies/since.h"
#include "tallies/window.h"

/// What displayResults worked out, for what the run adds after it.
struct Estimate {
  std::uint64_t nSeconds = 0;  // the class times added up
  bool bPassedMax = false;     // that sum stayed at 2^64 - 1
  std::uint64_t nAverage = 0;  // the average file's size
  std::uint64_t nAverageSeconds = 0;
};

struct Run {
  LongOptions options;
  std::string sProgram = "plomet";  // as the command line names it, shown safely
  bool bUsageToStderr = false;      // with --json, standard output holds JSON or nothing
  // The options that ask for more than the report take every line too.
  bool bExtras = false;
  bool bLearning = false;  // with --rates-from: the log is being read
  int nReadThreads = 1;    // the threads that read a listing, and the text each takes at a time
  std::size_t nReadBlock = 0;

  // The listing as it is read.
  Reader reader;
  KindDecision decision;
  KindReader kinds;  // the sources of the kinds but the directory listing
  LineFacts line;
  StampCache stamps;  // the date the listing's or log's stamps read last
  Progress progress;
  std::string sWholeLine;  // a cut line read whole, for its path
  // The rest of the cut line being taken, when the line was read in a block.
  const char* pBlockRest = nullptr;
  std::size_t nBlockRest = 0;

  // Files counted by the options' work and the sources' entries, which may
  // run on another thread than the core's tallies; they join those before
  // the report (takeCounted).
  ClassTally counted;

  // The tallies beside the classes.
  OwnTotals ownTotals;  // what a directory listing says of itself
  SinceFilter since;
  FolderTally folders;
  LogCalibration logCalibration;  // with --calibrate, under each reading of the dates
  PageTallies page;               // with --html: the files by size
  LogTimeline timeline;           // and the log over time, under each reading of its dates
  LogTimeline timelineDayFirst;

  std::vector<const char*> paths;  // -s: the folder trees to scan, as argv gives them

  // What the report shows besides the table.
  bool bModel = false;      // with --rates-from: what the log taught
  CalibrationResult model;  // and the rates as text for JSON
  char aszLearntRates[kClasses][24] = {};
  bool bModelFromReport = false;  // the model was read from a JSON report
  RatesReport ratesReport;        // and what the report said of itself
  FolderRanking ranking;
  WindowVerdict window;       // with --window
  WindowVerdict modelWindow;  // and the estimate by cost and bandwidth's
  ReportFigures figures;      // with --json or --html: the report's numbers
  Estimate estimate;          // what displayResults worked out
};

/// Takes the program's name and the long options out of the command line
/// and answers --help, --version and a command line that lacks the option,
/// and runs --plan, which reads no listing (plan.h); else sets up the tallies
/// that the options ask for. Returns -1 when the run goes on, or its exit
/// status.
int takeCommandLine(int& argc, char** argv, Run& run);

/// Checks that the long options go with the source the option argv[1] chose
/// (the scan's options with -s alone, --kind with -d, or --kind=log with -l,
/// --json without the echo); -d --kind=log reads the schedule log as -l. For
/// a listing or log, also that no output named would overwrite it (argv[2]),
/// the log of --rates-from or another output, or write to standard output;
/// the scan checks its outputs once it has taken its paths. Returns -1, or
/// the exit status after rejecting them.
int checkOptionsOfSource(const Run& run, int argc, char** argv);

/// With --rates-from, the option and the listing (with -s, one path or
/// more), without rates. Returns -1, or the exit status after rejecting them.
int takeRatesFromArguments(int argc, char** argv, const Run& run);

/// Rejects a command line with too few or too many arguments for the
/// option: says which argument is an option out of place (such as -top=3,
/// where --top=3 was meant), or how many were expected. Returns the exit
/// status.
int rejectArgumentCount(const Run& run, int argc, char** argv);

/// Rejects szArg, which is no option such as -d: says to scan a folder
/// with -s when it names one. Returns the exit status.
int rejectOption(const Run& run, const char* szArg);

/// With --calibrate, the schedule log alone, which --html must not name.
/// Returns -1, or the exit status after rejecting the arguments.
int takeLog(int argc, char** argv, const Run& run);

/// With --rates-from: learns the four rates from the log as --calibrate does,
/// or reads them from a JSON report of --measure or --calibrate, before any
/// listing is opened, and sets the class rates to them. Returns -1, or the
/// exit status after saying why the log or the report gives no rates.
int learnRatesFrom(Run& run);

/// After a listing was read: the facts the reports give about it (its kind,
/// name, encoding, read error). Returns false after saying why a listing of
/// its kind cannot be counted.
bool takeListingFacts(Run& run);

/// A line of a listing of another kind than the directory listing: read by
/// its kind's source and counted.
void takeKindLine(Run& run, const Piece& piece);

/// The per-line work of the options that ask for more than the report, for a
/// line of a directory listing or a schedule log whose size text the core's
/// parser left in szData.
void takeLineExtras(Run& run, const Piece& piece, const char* szData);

/// Counts one object that a source found: in its size class, by its time
/// with --since, and in its folder with --top.
void countEntry(Run& run, const Entry& entry);

/// Adds the files counted into run.counted to the core's tallies, once all
/// were counted.
void takeCounted(Run& run);

/// After the whole listing, with --since: the files set aside for the
/// reading of the dates that the listing showed join the count.
void countChosenAside(const Run& run);

/// Before the report's table: what --since selected, and where the rates
/// were learnt (text only).
void printReportHead(const Run& run);

/// After the two estimates: the estimate by cost and bandwidth, the window's
/// verdict, the folders of --top, and the numbers of --json and --html.
void finishEstimate(Run& run, const Estimate& estimate);

/// The warnings about the listing as a whole, after the report; nLines is
/// the number of lines read.
void warnListing(const Run& run, std::uint64_t nLines);

/// After a listing's report: its JSON and its page. Returns nStatus, or 1
/// when the page could not be written.
int finishListing(Run& run, int nStatus);

/// After the report: warns of each rate that made a class's time 0, for a
/// class that holds bytes or whose rate gave the second estimate
/// (nAverageClass, or -1 when there was none).
void warnRates(const Run& run, int nAverageClass);

/// Flushes the output and turns a failed write into a message and status 1,
/// and a warning (or a missed window) under --strict into status 3. Returns
/// the run's exit status.
int finishRun(const Run& run, int nStatus);

/// Prints what the schedule log taught (--calibrate). Returns the exit status.
int reportCalibration(Run& run);

/// With --measure: measures the target and prints what it measured
/// (measurerun.cpp). Returns the exit status.
int measure(int argc, char** argv, Run& run);

/// Walks the folder trees given in the listing's place (one path or more,
/// each checked before the first is walked), counts what a backup of them
/// sends, and prints the report (scan.cpp). Returns the exit status.
int scan(int argc, char** argv, Run& run);

/// With --rates-from, after the report: what the log did, and whether it
/// measured enough objects for the classes whose rates the estimate takes.
void warnModel(const Run& run);

/// The warnings about the counts: a class's or the total's files or bytes
/// that passed the largest number the tallies hold.
void warnCounts(const Run& run);

/// Refuses outputs that would overwrite an input or each other, mix with the
/// report on standard output, or land in a tree the scan walks (run.paths),
/// before anything is read or written; szSource is the listing or log, or
/// null. Returns -1, or the exit status.
int checkRunFiles(const Run& run, const char* szSource);

/// Returns the first argument after the option that is no listing, path or
/// rate but looks like an option (a dash and a letter), or null.
const char* optionLikeArgument(int argc, char** argv);

/// Rejects szArg, an option found among the arguments after the first.
/// Returns the exit status.
int rejectOptionLike(const Run& run, const char* szArg);

#endif  // PLOMET_ESTIMATOR_RUN_H_
