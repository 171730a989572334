// Plans one fleet with the schedule model and prints the plan, for
// tests/plan_model.py to compare with its own model of the schedule.
//
//   plan_driver < FLEET
//
// FLEET has one item a line, names without blanks:
//   sessions N
//   order longest|shortest
//   bandwidth BYTES-PER-SECOND   (0: no cap)
//   window SECONDS               (optional)
//   client NAME SECONDS BYTES
// The output names the clients in plan order:
//   client NAME SESSION START END
//   end SECONDS
//   busiest START END BYTES-PER-SECOND
//   fit FITS NEEDED none|client|bytes|sharing LONG-CLIENT-OR-DASH   (with a window)
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tallies/schedule.h"

namespace {

// The fleet as read: the clients, the settings and the window, if any.
struct Fleet {
  std::vector<PlanClient> clients;
  PlanSettings settings;
  bool bWindow = false;
  double dWindow = 0;
};

/// Returns the next blank-separated word of the line at pC, and moves pC
/// past it; an empty word at the line's end.
std::string nextWord(const char*& pC) {
  while (*pC == ' ' || *pC == '\t') pC++;
  const char* pStart = pC;
  while (*pC != '\0' && *pC != ' ' && *pC != '\t' && *pC != '\n' && *pC != '\r') pC++;
  return std::string(pStart, pC);
}

/// Reads the next word as a number into dValue. Returns false when it is none.
bool nextNumber(const char*& pC, double& dValue) {
  std::string sWord = nextWord(pC);
  char* pEnd = nullptr;
  dValue = std::strtod(sWord.c_str(), &pEnd);
  return !sWord.empty() && *pEnd == '\0';
}

/// Reads one line of the fleet into fleet. Returns false when it is none.
bool readLine(const char* szLine, Fleet& fleet) {
  const char* pC = szLine;
  std::string sWord = nextWord(pC);
  double dValue = 0;
  if (sWord.empty()) return true;
  if (sWord == "sessions" && nextNumber(pC, dValue)) {
    fleet.settings.nSessions = static_cast<int>(dValue);
    return true;
  }
  if (sWord == "order") {
    fleet.settings.order = nextWord(pC) == "shortest" ? PlanOrder::kShortest : PlanOrder::kLongest;
    return true;
  }
  if (sWord == "bandwidth") return nextNumber(pC, fleet.settings.dBandwidth);
  if (sWord == "window") return fleet.bWindow = nextNumber(pC, fleet.dWindow);
  if (sWord != "client") return false;
  PlanClient client;
  client.sName = nextWord(pC);
  std::string sBytes;
  if (!nextNumber(pC, client.dSeconds) || (sBytes = nextWord(pC)).empty()) return false;
  char* pEnd = nullptr;
  client.nBytes = std::strtoull(sBytes.c_str(), &pEnd, 10);
  if (*pEnd != '\0') return false;
  fleet.clients.push_back(client);
  return true;
}

const char* missText(PlanMiss why) {
  switch (why) {
    case PlanMiss::kClientTooLong:
      return "client";
    case PlanMiss::kBytesOverBandwidth:
      return "bytes";
    case PlanMiss::kSharing:
      return "sharing";
    default:
      return "none";
  }
}

void printPlan(const Fleet& fleet, const PlanOutcome& outcome) {
  for (const PlanClient& c : fleet.clients) {
    std::printf("client %s %d %.17g %.17g\n", c.sName.c_str(), c.nSession, c.dStart, c.dEnd);
  }
  std::printf("end %.17g\nbusiest %.17g %.17g %.17g\n", outcome.dEnd, outcome.dBusiestStart,
              outcome.dBusiestEnd, outcome.dBusiestBytesPerSecond);
  if (!fleet.bWindow) return;
  WindowFit fit = fitWindow(fleet.clients, fleet.settings, fleet.dWindow);
  std::printf(
      "fit %d %d %s %s\n", fit.bFits ? 1 : 0, fit.nSessionsNeeded, missText(fit.why),
      fit.why == PlanMiss::kClientTooLong ? fleet.clients[fit.nLongClient].sName.c_str() : "-");
}

}  // namespace

int main() {
  Fleet fleet;
  char szLine[1024];
  while (std::fgets(szLine, sizeof szLine, stdin) != nullptr) {
    if (!readLine(szLine, fleet)) {
      std::fprintf(stderr, "plan_driver: not a fleet line: %s", szLine);
      return 2;
    }
  }
  orderClients(fleet.clients, fleet.settings.order);
  PlanOutcome outcome = planSchedule(fleet.clients, fleet.settings);
  printPlan(fleet, outcome);
  return 0;
}
