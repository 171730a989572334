#include "reports/warnings.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

std::vector<std::string> gWarnings;

}  // namespace

// printf's own formats are the point here, so this is a C-style variadic.
void warn(const char* szFormat, ...) {  // NOLINT(cert-dcl50-cpp)
  va_list args;
  va_start(args, szFormat);
  va_list argsAgain;
  va_copy(argsAgain, args);
  int n = std::vsnprintf(nullptr, 0, szFormat, args);
  va_end(args);
  std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(&text[0], text.size() + 1, szFormat, argsAgain);
  va_end(argsAgain);
  std::fprintf(stderr, "warning: %s\n", text.c_str());
  gWarnings.push_back(text);
}

std::size_t warningCount() { return gWarnings.size(); }

const std::string& warningText(std::size_t i) { return gWarnings.at(i); }

void resetWarnings() { gWarnings.clear(); }
