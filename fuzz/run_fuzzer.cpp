// Fuzzes a whole run of the program on arbitrary listing content: the
// encoding detection, the text-mode rules, both parsers with and without the
// verbose echo, the tallies and the report, and the options that ask for
// more (JSON, folders, dates, the window, the calibration, the page), and the
// rates read from a JSON report when the input starts with {. The first byte
// picks the options.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

int plometMain(int argc, char** argv);  // the program's main, renamed for the harness

namespace {

std::string gPath;
std::string gHtml;  // --html=, a page beside the listing

void init() {
  // The report and the echo go nowhere; standard error keeps the fuzzer's own output.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  gPath = "/tmp/plomet-fuzz-" + std::to_string(getpid()) + ".txt";
  gHtml = "--html=/tmp/plomet-fuzz-" + std::to_string(getpid()) + ".html";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (gPath.empty()) init();
  if (size == 0) return 0;
  // The first byte picks the option (its low two bits) and the long options
  // that ask for more than the report (the others).
  static const char* const kOptions[] = {"-d", "-dv", "-l", "-lv"};
  const std::uint8_t nPick = data[0];
  std::FILE* file = std::fopen(gPath.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(data + 1, 1, size - 1, file);
  std::fclose(file);
  std::vector<const char*> args = {"plomet"};
  static std::string ratesFrom;
  ratesFrom = "--rates-from=" + gPath;
  if ((nPick & 0xA0) == 0xA0) {  // the input is the log the rates are learnt from and the listing
    args.insert(args.end(), {kOptions[nPick % 4], gPath.c_str(), ratesFrom.c_str(), "--gap=30",
                             "--session-gap=5m", "--window=1h"});
    if ((nPick & 0x04) != 0 && (nPick & 0x01) == 0) args.push_back("--json");
    if ((nPick & 0x10) != 0) args.push_back("--since=2024-03-01T12:00");
  } else if ((nPick & 0x80) != 0) {
    args.insert(args.end(), {"--calibrate", gPath.c_str(), "--gap=30"});
    if ((nPick & 0x10) != 0) args.push_back("--since=2024-03-01T12:00");
    if ((nPick & 0x40) != 0) args.push_back("--session-gap=5m");
    if ((nPick & 0x20) != 0) args.push_back(gHtml.c_str());
  } else {
    args.insert(args.end(), {kOptions[nPick % 4], gPath.c_str(), "35", "0", "-457",
                             "9007199254740991.999"});
    if ((nPick & 0x04) != 0 && (nPick & 0x01) == 0) args.push_back("--json");
    if ((nPick & 0x08) != 0) args.insert(args.end(), {"--top=3", "--depth=2"});
    if ((nPick & 0x10) != 0) args.push_back("--since=2024-03-01T12:00");
    if ((nPick & 0x20) != 0) args.push_back("--window=1h");
    if ((nPick & 0x40) != 0) args.push_back("--strict");
    if ((nPick & 0x60) == 0x60) args.push_back(gHtml.c_str());
  }
  std::vector<char*> argv;
  for (const char* szArg : args) argv.push_back(const_cast<char*>(szArg));
  argv.push_back(nullptr);
  plometMain(static_cast<int>(args.size()), argv.data());
  return 0;
}
