// The measurement's file work on POSIX systems: descriptors, fsync for each
// copy, syncfs (or sync) for the source files, and sigaction for the signals
// that stop it.
#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "measure_internal.h"

namespace {

const int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

/// Removes everything in the open folder fd, and closes it. Returns 0, or
/// the first error number met; it goes on past errors, to remove what it can.
int removeContents(int fd) {
  DIR* pDir = fdopendir(fd);
  if (pDir == nullptr) {
    int nError = errno;
    close(fd);
    return nError;
  }
  int nError = 0;
  while (const dirent* pEntry = readdir(pDir)) {
    const char* szName = pEntry->d_name;
    if (std::strcmp(szName, ".") == 0 || std::strcmp(szName, "..") == 0) continue;
    if (unlinkat(fd, szName, 0) == 0 || errno == ENOENT) continue;
    // A folder: Linux says EISDIR, others EPERM.
    if (errno != EISDIR && errno != EPERM) {
      if (nError == 0) nError = errno;
      continue;
    }
    int child = openat(fd, szName, kFolderFlags);
    if (child < 0) {
      if (nError == 0) nError = errno;
      continue;
    }
    int nChild = removeContents(child);
    if (nError == 0) nError = nChild;
    if (unlinkat(fd, szName, AT_REMOVEDIR) != 0 && errno != ENOENT && nError == 0) nError = errno;
  }
  closedir(pDir);
  return nError;
}

}  // namespace

std::string systemTempFolder() {
  const char* szTemp = std::getenv("TMPDIR");
  std::string sTemp = szTemp != nullptr && *szTemp != '\0' ? szTemp : "/tmp";
  while (sTemp.size() > 1 && sTemp.back() == '/') sTemp.pop_back();
  return sTemp;
}

int resolveFolder(const std::string& sPath, std::string& sReal) {
  char* szReal = realpath(sPath.c_str(), nullptr);
  if (szReal == nullptr) return errno;
  sReal = szReal;
  std::free(szReal);
  struct stat st;
  if (stat(sReal.c_str(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

int identifyFolder(const std::string& sPath, MeasureFolderId& id) {
  struct stat st;
  if (stat(sPath.c_str(), &st) != 0) return errno;
  id.nDevice = static_cast<std::uint64_t>(st.st_dev);
  id.nNumber = static_cast<std::uint64_t>(st.st_ino);
  return 0;
}

bool parentFolder(std::string& sPath) {
  std::size_t nSlash = sPath.rfind('/');
  if (nSlash == std::string::npos || sPath == "/") return false;
  sPath.resize(nSlash == 0 ? 1 : nSlash);
  return true;
}

int makeTempFolder(const std::string& sParent, std::string& sMade) {
  std::string sTemplate = sParent;
  if (sTemplate.empty() || sTemplate.back() != '/') sTemplate += '/';
  sTemplate += "plomet-measure-XXXXXX";
  std::vector<char> name(sTemplate.begin(), sTemplate.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) return errno;  // made with mode 0700
  sMade = name.data();
  return 0;
}

int makeFolder(const std::string& sPath) { return mkdir(sPath.c_str(), 0700) == 0 ? 0 : errno; }

int removeTree(const std::string& sPath) {
  // Entries removed while a folder is read may hide others from the same
  // reading; a folder found not empty is read again.
  int nError = 0;
  for (int nPass = 0; nPass < 3; nPass++) {
    int fd = open(sPath.c_str(), kFolderFlags);
    if (fd < 0) return errno == ENOENT ? 0 : errno;
    nError = removeContents(fd);
    if (rmdir(sPath.c_str()) == 0 || errno == ENOENT) return nError;
    if (errno != ENOTEMPTY && errno != EEXIST) return nError != 0 ? nError : errno;
    if (nError == 0) nError = ENOTEMPTY;
  }
  return nError;
}

int createFile(const std::string& sPath, MeasureHandle& handle) {
  int fd = open(sPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  handle = fd;
  return 0;
}

int openFile(const std::string& sPath, MeasureHandle& handle) {
  int fd = open(sPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  handle = fd;
  return 0;
}

int readBlock(MeasureHandle handle, void* pBuffer, std::size_t nSize, std::size_t& nRead) {
  for (;;) {
    ssize_t n = read(static_cast<int>(handle), pBuffer, nSize);
    if (n >= 0) {
      nRead = static_cast<std::size_t>(n);
      return 0;
    }
    if (errno != EINTR) return errno;
  }
}

int writeBlock(MeasureHandle handle, const void* pBuffer, std::size_t nSize) {
  const char* pC = static_cast<const char*>(pBuffer);
  while (nSize > 0) {
    ssize_t n = write(static_cast<int>(handle), pC, nSize);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;  // a regular file takes nothing only when there is no room
    pC += n;
    nSize -= static_cast<std::size_t>(n);
  }
  return 0;
}

int flushFile(MeasureHandle handle) {
  while (fsync(static_cast<int>(handle)) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

int closeFile(MeasureHandle handle) {
  // After EINTR the descriptor is gone all the same; trying again could
  // close another thread's.
  if (close(static_cast<int>(handle)) == 0 || errno == EINTR) return 0;
  return errno;
}

int settleFolder(const std::string& sPath) {
#ifdef __linux__
  int fd = open(sPath.c_str(), kFolderFlags);
  if (fd < 0) return errno;
  int nError = syncfs(fd) == 0 ? 0 : errno;
  close(fd);
  return nError;
#else
  (void)sPath;
  sync();
  return 0;
#endif
}

void catchSignals(SavedSignals& saved) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = noteMeasureSignal;
  sigemptyset(&action.sa_mask);
  // The calls a signal interrupts go on: the flag is looked at between
  // blocks and files, and every call need not handle EINTR.
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < kMeasureSignalCount; i++) {
    saved.abCaught[i] = false;
    struct sigaction old;
    if (sigaction(kMeasureSignals[i], nullptr, &old) != 0) continue;
    // A signal ignored (a job started with nohup, or in the background)
    // stays ignored.
    if ((old.sa_flags & SA_SIGINFO) == 0 && old.sa_handler == SIG_IGN) continue;
    saved.abCaught[i] = sigaction(kMeasureSignals[i], &action, &saved.aOld[i]) == 0;
  }
}

void restoreSignals(const SavedSignals& saved) {
  for (int i = 0; i < kMeasureSignalCount; i++) {
    if (saved.abCaught[i]) sigaction(kMeasureSignals[i], &saved.aOld[i], nullptr);
  }
}

#endif  // _WIN32
