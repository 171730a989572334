#include "plan.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "reports/htmlparts.h"
#include "reports/output.h"
#include "reports/planreport.h"
#include "reports/warnings.h"
#include "runfiles.h"
#include "sources/reader.h"
#include "sources/reportfile.h"
#include "tallies/schedule.h"

namespace {

// One plan's state: the reader of the reports (about 70 KiB, so that the
// PlanRun is allocated), what each report gave, and the client that takes
// the longest alone so far, whose folders show how to split it.
struct PlanRun {
  ReportReader reader;
  ReportFacts facts;
  std::vector<PlanClient> clients;
  std::vector<PlanReportFacts> reports;  // by the client's nTag
  std::vector<std::size_t> inexact;      // tags of the reports whose bytes are not exact
  double dBandwidth = 0;
  PlanOrder order = PlanOrder::kLongest;
  bool bLong = false;
  std::size_t nLongTag = 0;
  double dLongAlone = 0;
  std::vector<ReportFolder> longFolders;
};

// The arguments that are no reports. Returns -1, or the exit status after
// rejecting them.
int checkPlanArguments(int argc, char** argv, const Run& run) {
  if (argc < 2) {
    return rejectCommandLine(run, "error: --plan needs reports, folders of reports or -%s\n", "");
  }
  bool bStandardInput = false;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "-") == 0) {
      if (bStandardInput) {
        return rejectCommandLine(run, "error: standard input, -, can be read once%s\n", "");
      }
      bStandardInput = true;
    } else if (argv[i][0] == '-') {
      return rejectCommandLine(
          run, "error: --plan reads reports and takes no option such as '%s'\n", argv[i]);
    }
  }
  return -1;
}

// The base of a report's file name without ".json", the client's name when
// the report names none.
std::string nameOfFile(const std::string& path) {
  if (path == "-") return "stdin";
  std::size_t nSlash = path.find_last_of("/\\");
  std::string name = nSlash == std::string::npos ? path : path.substr(nSlash + 1);
  if (name.size() > 5) {
    std::string ending = name.substr(name.size() - 5);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](char c) { return static_cast<char>(c | 0x20); });
    if (ending == ".json") name.resize(name.size() - 5);
  }
  return name;
}

// True when a comes before b in the plan's order (as orderClients orders).
bool plannedBefore(const PlanClient& a, const PlanClient& b, PlanOrder order) {
  if (a.dSeconds != b.dSeconds) {
    return order == PlanOrder::kLongest ? a.dSeconds > b.dSeconds : a.dSeconds < b.dSeconds;
  }
  return a.sName < b.sName;
}

// Keeps the folders of the client that takes the longest alone, the first
// of equals in the plan's order, as fitWindow names it.
void noteLongest(PlanRun& plan, const PlanClient& client) {
  double dAlone = aloneSeconds(client, plan.dBandwidth);
  if (plan.bLong && (dAlone < plan.dLongAlone ||
                     (dAlone == plan.dLongAlone &&
                      !plannedBefore(client, plan.clients[plan.nLongTag], plan.order)))) {
    return;
  }
  plan.bLong = true;
  plan.nLongTag = client.nTag;
  plan.dLongAlone = dAlone;
  plan.longFolders.swap(plan.facts.folders);
}

// A report read: one client more.
void addClient(PlanRun& plan, const std::string& report, std::uint64_t nIndex) {
  const ReportFacts& facts = plan.facts;
  std::string suffix = nIndex > 1 ? ":" + std::to_string(nIndex) : "";
  PlanClient client;
  client.sName = facts.bClient ? facts.sClient : nameOfFile(report) + suffix;
  std::uint64_t nSeconds = facts.bModel ? facts.nModelSeconds : facts.nClassSeconds;
  client.dSeconds = static_cast<double>(nSeconds);
  client.nBytes = facts.nBytes;
  client.nTag = plan.clients.size();
  PlanReportFacts kept;
  kept.sReport = report + suffix;
  kept.nObjects = facts.nObjects;
  kept.nSeconds = nSeconds;
  kept.bModel = facts.bModel;
  if (!facts.bBytesExact) plan.inexact.push_back(client.nTag);
  plan.clients.push_back(client);
  plan.reports.push_back(kept);
  noteLongest(plan, plan.clients.back());
}

// Reads every report of one stream. Returns false after saying why one is
// no report.
bool readStream(PlanRun& plan, const std::string& path) {
  std::FILE* pStream = openListingFile(path.c_str());
  if (pStream == nullptr) {
    std::fprintf(stderr, "error: cannot open '%s': %s\n", printable(path.c_str()).c_str(),
                 std::strerror(errno));
    return false;
  }
  startReports(plan.reader, pStream);
  ReportStatus status;
  while ((status = nextReport(plan.reader, plan.facts)) == ReportStatus::kReport) {
    addClient(plan, path, plan.reader.nReports);
  }
  if (pStream != stdin) std::fclose(pStream);
  if (status == ReportStatus::kNoMore && plan.reader.nReports > 0) return true;
  std::string where = "'" + printable(path.c_str()) + "'";
  if (plan.reader.nReports > 1) where += " (report " + std::to_string(plan.reader.nReports) + ")";
  const std::string why = status == ReportStatus::kBad ? printable(plan.reader.sError.c_str())
                                                       : std::string("holds no report");
  std::fprintf(stderr, "error: %s: %s\n", where.c_str(), why.c_str());
  return false;
}

// The reports the arguments name: the files of each folder in their place.
// Returns false after saying why a folder cannot be read.
bool gatherPaths(int argc, char** argv, std::vector<std::string>& paths) {
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "-") == 0 || !isReportFolder(argv[i])) {
      paths.emplace_back(argv[i]);
      continue;
    }
    std::size_t nBefore = paths.size();
    std::string sError;
    if (!listReportFolder(argv[i], paths, sError)) {
      std::fprintf(stderr, "error: cannot read the folder '%s': %s\n", printable(argv[i]).c_str(),
                   sError.c_str());
      return false;
    }
    if (paths.size() == nBefore) {
      warn("the folder '%s' holds no .json file", printable(argv[i]).c_str());
    }
  }
  return true;
}

// The page of --html must not take the place of a report read, nor of the
// plan on standard output.
int checkPageName(const std::vector<std::string>& paths, const Run& run) {
  if (!run.options.bHtml) return -1;
  RunFiles files;
  for (const std::string& path : paths) files.inputs.push_back({"the report", path});
  files.outputs.push_back({"--html", run.options.szHtml});
  std::string sClash = findFileClash(files);
  if (sClash.empty()) return -1;
  return rejectCommandLine(run, "error: %s\n", sClash);
}

// "a, b and c", with at most five named.
std::string listOf(const std::vector<std::string>& items) {
  std::string text;
  std::size_t nShown = std::min<std::size_t>(items.size(), 5);
  for (std::size_t i = 0; i < nShown; i++) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  if (nShown < items.size()) text += " and " + std::to_string(items.size() - nShown) + " more";
  return text;
}

// Two reports or more of the same client, and reports whose bytes are not exact.
void warnReports(const PlanRun& plan) {
  std::vector<const std::string*> names(plan.clients.size());  // by tag
  for (const PlanClient& c : plan.clients) names[c.nTag] = &c.sName;
  std::vector<std::size_t> byName(names.size());
  for (std::size_t i = 0; i < byName.size(); i++) byName[i] = i;
  std::stable_sort(byName.begin(), byName.end(),
                   [&names](std::size_t a, std::size_t b) { return *names[a] < *names[b]; });
  for (std::size_t i = 0; i < byName.size();) {
    std::size_t j = i + 1;
    while (j < byName.size() && *names[byName[j]] == *names[byName[i]]) j++;
    if (j - i > 1) {
      std::vector<std::string> reports;
      for (std::size_t k = i; k < j; k++) {
        reports.push_back(printable(plan.reports[byName[k]].sReport.c_str()));
      }
      warn("client %s has %" PRIu64 " reports, %s; each is planned as a client of its own",
           printable(names[byName[i]]->c_str()).c_str(), static_cast<std::uint64_t>(j - i),
           listOf(reports).c_str());
    }
    i = j;
  }
  for (std::size_t nTag : plan.inexact) {
    warn("the byte total of %s passed 18446744073709551615 and is not exact",
         printable(plan.reports[nTag].sReport.c_str()).c_str());
  }
}

PlanSettings settingsOf(const LongOptions& options) {
  PlanSettings settings;
  settings.nSessions = static_cast<int>(options.nSessions);
  settings.order = options.bShortestFirst ? PlanOrder::kShortest : PlanOrder::kLongest;
  settings.dBandwidth = options.bBandwidth ? options.dBandwidth : 0;
  return settings;
}

// Shows the plan: text then its warnings, or the warnings then JSON; then
// the page. Returns the exit status.
int showPlan(const PlanRun& plan, const PlanFigures& figures, const Run& run) {
  const LongOptions& options = run.options;
  if (options.bJson) {
    warnReports(plan);
    writeJsonPlan(figures);
  } else {
    printPlan(figures);
    outFlush();  // the warnings follow the plan they explain
    warnReports(plan);
  }
  if (!options.bHtml) return kExitOk;
  int nErrno = writeHtmlFile(options.szHtml, planPage(figures, utcText(std::time(nullptr))));
  if (nErrno == 0) return kExitOk;
  outFlush();
  std::fprintf(stderr, "error: cannot write the page to '%s': %s\n",
               printable(options.szHtml).c_str(), std::strerror(nErrno));
  return kExitFailure;
}

}  // namespace

int planNight(int argc, char** argv, Run& run) {
  int nStatus = checkPlanArguments(argc, argv, run);
  if (nStatus >= 0) return nStatus;
  std::unique_ptr<PlanRun> pPlan(new PlanRun());
  PlanRun& plan = *pPlan;
  PlanFigures figures;
  figures.settings = settingsOf(run.options);
  figures.bHumanTimes = run.options.bHuman;
  plan.dBandwidth = figures.settings.dBandwidth;
  plan.order = figures.settings.order;
  std::vector<std::string> paths;
  if (!gatherPaths(argc, argv, paths)) return kExitFailure;
  nStatus = checkPageName(paths, run);
  if (nStatus >= 0) return nStatus;
  if (!std::all_of(paths.begin(), paths.end(),
                   [&plan](const std::string& path) { return readStream(plan, path); })) {
    return kExitFailure;
  }
  if (plan.clients.empty()) {
    std::fprintf(stderr, "error: no report to plan%s\n", "");
    return kExitFailure;
  }
  orderClients(plan.clients, figures.settings.order);
  figures.pClients = &plan.clients;
  figures.pFacts = &plan.reports;
  figures.outcome = planSchedule(plan.clients, figures.settings);
  figures.nReports = paths.size();
  const LongOptions& options = run.options;
  if (options.bWindow) {
    figures.bWindow = true;
    figures.nWindowSeconds = options.nWindowSeconds;
    figures.bWindowClock = options.bWindowClock;
    figures.nWindowStartSecond = options.nWindowStartSecond;
    figures.fit =
        fitWindow(plan.clients, figures.settings, static_cast<double>(options.nWindowSeconds));
    run.window.bFits = figures.fit.bFits;
    if (figures.fit.why == PlanMiss::kClientTooLong && plan.bLong &&
        plan.clients[figures.fit.nLongClient].nTag == plan.nLongTag) {
      figures.bLongFolders = true;
      figures.longFolders = plan.longFolders;
    }
  }
  return showPlan(plan, figures, run);
}
