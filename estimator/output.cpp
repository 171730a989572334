#include "output.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

char gOut[1 << 16];
std::size_t gOutLen = 0;
int gOutErrno = 0;  // the first failure; later writes are dropped

void put(const char* p, std::size_t n) {
  if (n == 0 || gOutErrno != 0) return;
  errno = 0;
  if (std::fwrite(p, 1, n, stdout) != n) gOutErrno = errno != 0 ? errno : EIO;
}

void drain() {
  put(gOut, gOutLen);
  gOutLen = 0;
}

}  // namespace

void outWrite(const char* p, std::size_t n) {
  if (n > sizeof gOut - gOutLen) {
    drain();
    if (n > sizeof gOut) {  // too large to be worth buffering
      put(p, n);
      return;
    }
  }
  std::memcpy(gOut + gOutLen, p, n);
  gOutLen += n;
}

void outText(const char* sz) { outWrite(sz, std::strlen(sz)); }

void outFormat(const char* szFormat, ...) {
  char szBuf[1024];
  va_list args;
  va_start(args, szFormat);
  int n = std::vsnprintf(szBuf, sizeof szBuf, szFormat, args);
  va_end(args);
  if (n < 0) return;
  outWrite(szBuf, static_cast<std::size_t>(n) < sizeof szBuf ? static_cast<std::size_t>(n)
                                                             : sizeof szBuf - 1);
}

int outFlush() {
  drain();
  errno = 0;
  if (std::fflush(stdout) != 0 && gOutErrno == 0) gOutErrno = errno != 0 ? errno : EIO;
  return gOutErrno;
}
