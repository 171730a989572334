// Fuzzes a whole run of the program on arbitrary listing content: the
// encoding detection, the text-mode rules, both parsers with and without the
// verbose echo, the tallies and the report. The first byte picks the option.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

int plometMain(int argc, char** argv);  // the program's main, renamed for the harness

namespace {

std::string gPath;

void init() {
  // The report and the echo go nowhere; standard error keeps the fuzzer's own output.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  gPath = "/tmp/plomet-fuzz-" + std::to_string(getpid()) + ".txt";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (gPath.empty()) init();
  if (size == 0) return 0;
  static const char* const kOptions[] = {"-d", "-dv", "-l", "-lv"};
  const char* szOption = kOptions[data[0] % 4];
  std::FILE* file = std::fopen(gPath.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(data + 1, 1, size - 1, file);
  std::fclose(file);
  char* argv[] = {const_cast<char*>("plomet"),
                  const_cast<char*>(szOption),
                  const_cast<char*>(gPath.c_str()),
                  const_cast<char*>("35"),
                  const_cast<char*>("0"),
                  const_cast<char*>("-457"),
                  const_cast<char*>("9223372036854775807"),
                  nullptr};
  plometMain(7, argv);
  return 0;
}
