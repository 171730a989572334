// The walk on POSIX systems: a folder is opened relative to its parent,
// whose handle stays open until its last subfolder is (within a bound on the
// handles kept), or else by its path, a part no longer than the system takes
// at a time; read with getdents or readdir; and each entry looked at with
// fstatat relative to the open folder, only where the folder's entry does
// not already tell what is needed.
#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#ifdef __linux__
#include <sys/syscall.h>
#endif

#include "sources/walk.h"
#include "sources/walk_internal.h"

namespace {

const int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#ifdef O_PATH
const int kPassFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;  // search permission is enough
#else
const int kPassFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// Opens an absolute folder path of any length: a path the system would
// refuse as too long is opened a part at a time, each part relative to the
// folder opened before. Returns the descriptor, or -1 with errno set.
int openFolderPath(const std::string& sPath) {
  if (sPath.size() < PATH_MAX) return open(sPath.c_str(), kFolderFlags);
  int fd = AT_FDCWD;
  std::size_t nStart = 0;
  std::string sPart;
  while (nStart < sPath.size()) {
    std::size_t nEnd = sPath.size();
    bool bLast = nEnd - nStart < PATH_MAX;
    if (!bLast) {
      nEnd = sPath.rfind('/', nStart + PATH_MAX - 1);
      if (nEnd == std::string::npos || nEnd <= nStart) {
        if (fd != AT_FDCWD) close(fd);
        errno = ENAMETOOLONG;
        return -1;
      }
    }
    sPart.assign(sPath, nStart, nEnd - nStart);
    if (sPart.empty()) sPart = "/";
    int next = openat(fd, sPart.c_str(), bLast ? kFolderFlags : kPassFlags);
    int nError = errno;
    if (fd != AT_FDCWD) close(fd);
    if (next < 0) {
      errno = nError;
      return -1;
    }
    fd = next;
    nStart = nEnd + 1;
  }
  return fd;
}

void setTime(WalkObject& object, std::time_t nTime) {
  std::tm tm{};
  if (localtime_r(&nTime, &tm) == nullptr) return;
  object.nYear = tm.tm_year + 1900;
  object.nMonth = tm.tm_mon + 1;
  object.nDay = tm.tm_mday;
  object.nSecondOfDay = tm.tm_hour * 3600 + tm.tm_min * 60 + (tm.tm_sec > 59 ? 59 : tm.tm_sec);
}

// Sets the object's type, size and time from what stat found.
void setFromStat(WalkObject& object, const struct stat& st, bool bTimes) {
  if (S_ISREG(st.st_mode)) {
    object.nType = kEntryFile;
    object.nSize = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  } else {
    object.nType = S_ISLNK(st.st_mode) ? kEntryLink : kEntrySpecial;
    object.nSize = 0;
  }
  if (bTimes) setTime(object, st.st_mtime);
}

// The last part of a path, and the folder before it ("/" for "/x").
void splitPath(const std::string& sPath, std::string& sFolder, std::string& sName) {
  std::size_t nSlash = sPath.rfind('/');
  if (nSlash == std::string::npos) {
    sFolder.clear();
    sName = sPath;
    return;
  }
  sFolder.assign(sPath, 0, nSlash == 0 ? 1 : nSlash);
  sName.assign(sPath, nSlash + 1, std::string::npos);
}

// Reads a folder's entries. On Linux the entries come straight from the
// system in a large buffer, each worker's own: no stream to set up, fewer
// calls per folder.
const std::size_t kFolderBufferSize = std::size_t{32} * 1024;
struct FolderReader {
  int fd = -1;
#ifdef __linux__
  char* aBuffer = nullptr;  // kFolderBufferSize bytes, the worker's
  long nFilled = 0;
  long nAt = 0;
#else
  DIR* pDir = nullptr;
#endif
  int nError = 0;
};

bool startReading(FolderReader& reader, int fd) {
  reader.fd = fd;
  reader.nError = 0;
#ifdef __linux__
  reader.nFilled = reader.nAt = 0;
#else
  reader.pDir = fdopendir(fd);
  if (reader.pDir == nullptr) {
    reader.nError = errno;
    return false;
  }
#endif
  return true;
}

#ifdef __linux__
// Fills the buffer when it has been read to its end. Returns false at the
// end of the folder or after an error (nError).
bool fillEntries(FolderReader& reader) {
  if (reader.nAt < reader.nFilled) return true;
  reader.nFilled = syscall(SYS_getdents64, reader.fd, reader.aBuffer, kFolderBufferSize);
  reader.nAt = 0;
  if (reader.nFilled < 0) reader.nError = errno;
  return reader.nFilled > 0;
}

// struct linux_dirent64: file number (8 bytes), offset (8), record length
// (2), type (1), name.
std::uint64_t recordNumber(const char* pRecord) {
  std::uint64_t nNumber;
  std::memcpy(&nNumber, pRecord, sizeof nNumber);
  return nNumber;
}

unsigned short recordLength(const char* pRecord) {
  unsigned short nLength;
  std::memcpy(&nLength, pRecord + 16, sizeof nLength);
  return nLength;
}
#endif

// Sets nNumber to the file number that the folder's own "." entry gives,
// without taking any entry. Returns false when it is not at hand.
bool ownNumber(FolderReader& reader, std::uint64_t& nNumber) {
#ifdef __linux__
  if (!fillEntries(reader)) return false;
  for (long nAt = reader.nAt; nAt < reader.nFilled; nAt += recordLength(reader.aBuffer + nAt)) {
    const char* pRecord = reader.aBuffer + nAt;
    if (pRecord[19] == '.' && pRecord[20] == '\0') {
      nNumber = recordNumber(pRecord);
      return true;
    }
  }
#else
  static_cast<void>(reader);
  static_cast<void>(nNumber);
#endif
  return false;
}

// Sets szName, nType (a DT_ value) and nNumber to the next entry's. Returns
// false at the end, or after an error (nError).
bool nextEntry(FolderReader& reader, const char*& szName, unsigned char& nType,
               std::uint64_t& nNumber) {
#ifdef __linux__
  if (!fillEntries(reader)) return false;
  const char* pRecord = reader.aBuffer + reader.nAt;
  nNumber = recordNumber(pRecord);
  nType = static_cast<unsigned char>(pRecord[18]);
  szName = pRecord + 19;
  reader.nAt += recordLength(pRecord);
  return true;
#else
  errno = 0;
  const dirent* pEntry = readdir(reader.pDir);
  if (pEntry == nullptr) {
    reader.nError = errno;
    return false;
  }
  szName = pEntry->d_name;
  nType = pEntry->d_type;
  nNumber = pEntry->d_ino;
  return true;
#endif
}

// Ends the reading of a folder and closes it, or with bKeep keeps a handle
// to it open. Returns the handle kept, or -1.
int stopReading(FolderReader& reader, bool bKeep) {
#ifdef __linux__
  if (bKeep) return reader.fd;
  close(reader.fd);
  return -1;
#else
  if (reader.pDir == nullptr) {
    if (bKeep) return reader.fd;
    close(reader.fd);
    return -1;
  }
  int nKept = bKeep ? fcntl(dirfd(reader.pDir), F_DUPFD_CLOEXEC, 0) : -1;
  closedir(reader.pDir);
  return nKept;
#endif
}

// Opens a folder taken to be walked: relative to its parent's handle where
// the parent kept one open, else by its whole path. The last of a parent's
// subfolders to be opened closes its handle. Returns the descriptor, or -1
// with nError set.
int openPending(WalkWorker& worker, const PendingFolder& folder, int& nError) {
  WalkState& state = *worker.pState;
  WalkNode* pParent = folder.parent.get();
  const bool bRelative = pParent != nullptr && pParent->nHandle >= 0;
  int fd = -1;
  nError = injectedFailure(state.options, folder.sName);
  if (nError == 0) {
    fd = bRelative
             ? openat(pParent->nHandle, folder.sName.c_str(), kFolderFlags)
             : openFolderPath(childPath(worker, pParent, folder.sName.data(), folder.sName.size()));
    if (fd < 0) nError = errno;
  }
  if (bRelative && pParent->nWaiting.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    close(pParent->nHandle);
    dropHandle(state);
  }
  return fd;
}

// Tells the folder open at fd apart. Returns false when it is not to be
// walked: on another file system than the root's when asked to stay on it,
// or one of its own ancestors; with nError set when it cannot be looked at.
bool identifyFolder(const WalkState& state, int fd, FolderReader& reader,
                    const PendingFolder& folder, FolderId& id, int& nError) {
  // A folder whose own number is the one its parent listed it with, on its
  // parent's device, is no mount point: it cannot be one of its ancestors.
  // On Linux its "." entry tells the number without a stat. Only the others
  // (a mount point, the root) are looked at.
  const WalkNode* pParent = folder.parent.get();
  bool bListed = pParent != nullptr && folder.nListedNumber != 0;
  if (bListed && ownNumber(reader, id.nNumber) && id.nNumber == folder.nListedNumber) {
    id.nDevice = pParent->id.nDevice;
    return true;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    nError = errno;
    return false;
  }
  id.nDevice = static_cast<std::uint64_t>(st.st_dev);
  id.nNumber = static_cast<std::uint64_t>(st.st_ino);
  if (bListed && id.nNumber == folder.nListedNumber && id.nDevice == pParent->id.nDevice) {
    return true;
  }
  return !(state.options.bOneFileSystem && id.nDevice != state.nRootDevice) &&
         !isAncestor(pParent, id);
}

}  // namespace

std::string absoluteWalkPath(const char* szPath) {
  std::string sIn = szPath;
  if (sIn.empty() || sIn[0] != '/') {
    std::string sCwd(PATH_MAX, '\0');
    if (getcwd(&sCwd[0], sCwd.size()) != nullptr) {
      sCwd.resize(std::strlen(sCwd.c_str()));
      sIn = sCwd + "/" + sIn;
    }
  }
  // Repeated separators and "." parts go; ".." stays, as a link may stand before it.
  std::string sOut;
  std::size_t nStart = 0;
  while (nStart <= sIn.size()) {
    std::size_t nEnd = sIn.find('/', nStart);
    if (nEnd == std::string::npos) nEnd = sIn.size();
    std::size_t nLength = nEnd - nStart;
    if (nLength > 0 && !(nLength == 1 && sIn[nStart] == '.')) {
      if (!sOut.empty() || sIn[0] == '/') sOut += '/';
      sOut.append(sIn, nStart, nLength);
    }
    nStart = nEnd + 1;
  }
  if (sOut.empty()) sOut = sIn.empty() || sIn[0] == '/' ? "/" : ".";
  return sOut;
}

std::string walkErrorText(int nError) { return std::strerror(nError); }

std::string resolvedWalkPath(const char* szPath) {
  char* szResolved = realpath(szPath, nullptr);
  if (szResolved == nullptr) return absoluteWalkPath(szPath);
  std::string sResolved = szResolved;
  std::free(szResolved);
  return sResolved;
}

int walkRootError(const char* szPath) {
  std::string sPath = absoluteWalkPath(szPath);
  struct stat st;
  if (stat(sPath.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return 0;
  int fd = open(sPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);  // as openWalkRoot opens it
  if (fd < 0) return errno;
  close(fd);
  return 0;
}

int openWalkRoot(WalkState& state, WalkWorker& worker, const std::string& sPath,
                 PendingFolder& root, bool& bFolder) {
  struct stat st;
  if (stat(sPath.c_str(), &st) != 0) return errno;
  bFolder = S_ISDIR(st.st_mode);
  if (!bFolder) {
    std::string sFolder;
    std::string sName;
    splitPath(sPath, sFolder, sName);
    WalkObject object;
    setFromStat(object, st, state.options.bTimes);
    NodeRef folder = NodeRef::make(NodeRef(), FolderId(), sFolder.data(), sFolder.size(), '/');
    startFolder(worker, folder.get());
    addObject(worker, object, sName.data(), sName.size());
    flushObjects(worker);
    return 0;
  }
  int fd = open(sPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  state.nRootDevice = static_cast<std::uint64_t>(st.st_dev);
  root.sName = sPath;
  root.nHandle = fd;
  return 0;
}

void walkFolder(WalkWorker& worker, PendingFolder& folder) {
  WalkState& state = *worker.pState;
  int fd = static_cast<int>(folder.nHandle);
  int nError = 0;
  if (fd < 0) fd = openPending(worker, folder, nError);
  if (fd < 0) {
    noteUnreadable(state,
                   childPath(worker, folder.parent.get(), folder.sName.data(), folder.sName.size()),
                   nError);
    return;
  }
  FolderReader reader;
#ifdef __linux__
  // Kept by the worker from folder to folder; a multiple of 8 bytes, which
  // the system's records are aligned to.
  if (worker.readBuffer.empty()) worker.readBuffer.resize(kFolderBufferSize / 8);
  reader.aBuffer = reinterpret_cast<char*>(worker.readBuffer.data());
#endif
  FolderId id;
  bool bWalk = startReading(reader, fd);
  if (!bWalk) nError = reader.nError;
  if (bWalk) bWalk = identifyFolder(state, fd, reader, folder, id, nError);
  if (!bWalk) {
    stopReading(reader, false);
    if (nError != 0) {
      noteUnreadable(
          state, childPath(worker, folder.parent.get(), folder.sName.data(), folder.sName.size()),
          nError);
    }
    return;
  }
  NodeRef node = NodeRef::make(folder.parent, id, folder.sName.data(), folder.sName.size(), '/');
  folder.parent.reset();
  startFolder(worker, node.get());
  const bool bTimes = state.options.bTimes;
  const bool bUnknownTypes = state.options.bUnknownTypesForTest;
  int nStatError = 0;
  const char* szName;
  unsigned char nType;
  std::uint64_t nNumber;
  while (nextEntry(reader, szName, nType, nNumber)) {
    if (szName[0] == '.' && (szName[1] == '\0' || (szName[1] == '.' && szName[2] == '\0'))) {
      continue;
    }
    if (bUnknownTypes) nType = DT_UNKNOWN;
    std::size_t nName = std::strlen(szName);
    if (nType == DT_DIR) {
      addChild(worker, szName, nName, node, nNumber);
      continue;
    }
    WalkObject object;
    if (nType == DT_REG || nType == DT_UNKNOWN || bTimes) {
      struct stat entry;
      if (fstatat(fd, szName, &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT && nStatError == 0) nStatError = errno;  // gone: left out
        continue;
      }
      if (S_ISDIR(entry.st_mode)) {
        addChild(worker, szName, nName, node, nNumber);
        continue;
      }
      setFromStat(object, entry, bTimes);
    } else {
      object.nType = nType == DT_LNK ? kEntryLink : kEntrySpecial;
    }
    addObject(worker, object, szName, nName);
  }
  int nReadError = reader.nError;
  flushObjects(worker);
  // A folder with subfolders stays open for them, while there is room.
  bool bKeep = worker.nChildren > 0 && keepHandle(state);
  int nKept = stopReading(reader, bKeep);
  if (bKeep && nKept < 0) dropHandle(state);
  if (nKept >= 0) {
    node->nHandle = nKept;
    node->nWaiting.store(worker.nChildren, std::memory_order_relaxed);
  }
  if (nReadError != 0 || nStatError != 0) {
    noteUnreadable(state, nodePath(worker, node.get()), nReadError != 0 ? nReadError : nStatError);
  }
}

#endif  // _WIN32
