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

#include "core.h"
#include "options.h"
#include "reports/jsonreport.h"
#include "reports/progress.h"
#include "sources/entry.h"
#include "sources/listingkind.h"
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

  // What the report shows besides the table.
  bool bModel = false;      // with --rates-from: what the log taught
  CalibrationResult model;  // and the rates as text for JSON
  char aszLearntRates[kClasses][24] = {};
  FolderRanking ranking;
  WindowVerdict window;       // with --window
  WindowVerdict modelWindow;  // and the estimate by cost and bandwidth's
  ReportFigures figures;      // with --json or --html: the report's numbers
  Estimate estimate;          // what displayResults worked out
};

/// Takes the program's name and the long options out of the command line
/// and answers --help, --version and a command line that lacks the option,
/// then sets up the tallies that the options ask for. Returns -1 when the
/// run goes on, or its exit status.
int takeCommandLine(int& argc, char** argv, Run& run);

/// Checks that the long options go with the source the option chose (the
/// scan's options with -s alone, --json without the echo). Returns -1, or the
/// exit status after rejecting them.
int checkOptionsOfSource(const Run& run, const char* szOption);

/// With --rates-from, the option and the listing, without rates. Returns
/// -1, or the exit status after rejecting them.
int takeRatesFromArguments(int argc, char** argv, Run& run);

/// With --calibrate, the schedule log alone. Returns -1, or the exit status
/// after rejecting the arguments.
int takeLog(int argc, char** argv, Run& run);

/// With --rates-from: learns the four rates from the log as --calibrate does,
/// before any listing is opened, and sets the class rates to them. Returns -1,
/// or the exit status after saying why the log teaches nothing.
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
void countChosenAside(Run& run);

/// Before the report's table: what --since selected, and where the rates
/// were learnt (text only).
void printReportHead(Run& run);

/// After the two estimates: the estimate by cost and bandwidth, the window's
/// verdict, the folders of --top, and the numbers of --json and --html.
void finishEstimate(Run& run, const Estimate& estimate);

/// The warnings about the listing as a whole, after the report; nLines is
/// the number of lines read.
void warnListing(Run& run, std::uint64_t nLines);

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

/// Walks the folder tree given in the listing's place, counts what a backup
/// of it sends, and prints the report. Returns the exit status.
int scan(int argc, char** argv, Run& run);

#endif  // PLOMET_ESTIMATOR_RUN_H_
