// The measurement's file work on Windows: handles, FlushFileBuffers for each
// copy, the temporary folder from GetTempPathW, and the C library's signal
// for Ctrl-C and SIGTERM. Paths are kept in UTF-8 and carry the \\?\ prefix
// when handed to the system, which lifts the limit on their length.
#ifdef _WIN32

#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "measure_internal.h"
#include "sources/widepath_windows.h"

namespace {

// The error number that the C library would give for a system error.
int errorNumber(DWORD nError) {
  switch (nError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_OPERATION_ABORTED:
      return EINTR;
    default:
      return EIO;
  }
}

int lastError() { return errorNumber(GetLastError()); }

HANDLE toHandle(MeasureHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// Opens a folder (or file) to look at it, links followed.
HANDLE openToLook(const std::string& sPath) {
  return CreateFileW(longPath(sPath).c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool isDots(const wchar_t* szName) {
  return szName[0] == L'.' && (szName[1] == L'\0' || (szName[1] == L'.' && szName[2] == L'\0'));
}

// Removes everything in the folder wide (a long path), going on past errors.
// Returns 0, or the first error number met.
int removeContents(const std::wstring& wide) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileExW((wide + L"\\*").c_str(), FindExInfoBasic, &found,
                                 FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) {
    DWORD nError = GetLastError();
    return nError == ERROR_FILE_NOT_FOUND ? 0 : errorNumber(nError);
  }
  int nFirst = 0;
  do {
    if (isDots(found.cFileName)) continue;
    std::wstring child = wide + L"\\" + found.cFileName;
    DWORD nAttributes = found.dwFileAttributes;
    bool bOk;
    if ((nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      // A junction or a folder link is removed, never followed.
      if ((nAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        int nError = removeContents(child);
        if (nFirst == 0) nFirst = nError;
      }
      bOk = RemoveDirectoryW(child.c_str()) != 0;
    } else {
      if ((nAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(child.c_str(), nAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
      }
      bOk = DeleteFileW(child.c_str()) != 0;
    }
    if (!bOk && GetLastError() != ERROR_FILE_NOT_FOUND && nFirst == 0) nFirst = lastError();
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return nFirst;
}

}  // namespace

std::string systemTempFolder() {
  wchar_t szTemp[MAX_PATH + 1];
  DWORD nLength = GetTempPathW(MAX_PATH + 1, szTemp);
  if (nLength == 0 || nLength > MAX_PATH) return ".";
  std::wstring wide(szTemp, nLength);
  while (wide.size() > 3 && isSeparator(wide.back())) wide.pop_back();
  std::string sTemp;
  narrowText(wide.c_str(), sTemp);
  return sTemp;
}

int resolveFolder(const std::string& sPath, std::string& sReal) {
  // The path as given may be relative or hold a / or a .: made whole here,
  // as every path after it is built from the one resolved.
  HANDLE handle = openToLook(wholePath(sPath));
  if (handle == INVALID_HANDLE_VALUE) return lastError();
  BY_HANDLE_FILE_INFORMATION info;
  int nError = 0;
  std::wstring finalPath(32768, L'\0');  // the longest path there is
  if (!GetFileInformationByHandle(handle, &info)) {
    nError = lastError();
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    nError = ENOTDIR;
  } else {
    DWORD nLength = GetFinalPathNameByHandleW(
        handle, &finalPath[0], static_cast<DWORD>(finalPath.size()), VOLUME_NAME_DOS);
    if (nLength == 0 || nLength >= finalPath.size()) {
      nError = lastError();
    } else {
      // \\?\C:\x becomes C:\x, and \\?\UNC\server\share \\server\share.
      finalPath.resize(nLength);
      if (finalPath.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        finalPath = L"\\\\" + finalPath.substr(8);
      } else if (finalPath.compare(0, 4, L"\\\\?\\") == 0) {
        finalPath = finalPath.substr(4);
      }
      narrowText(finalPath.c_str(), sReal);
    }
  }
  CloseHandle(handle);
  return nError;
}

int identifyFolder(const std::string& sPath, MeasureFolderId& id) {
  HANDLE handle = openToLook(sPath);
  if (handle == INVALID_HANDLE_VALUE) return lastError();
  BY_HANDLE_FILE_INFORMATION info;
  int nError = 0;
  if (GetFileInformationByHandle(handle, &info)) {
    id.nDevice = info.dwVolumeSerialNumber;
    id.nNumber = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  } else {
    nError = lastError();
  }
  CloseHandle(handle);
  return nError;
}

bool parentFolder(std::string& sPath) {
  while (sPath.size() > 1 && (sPath.back() == '\\' || sPath.back() == '/')) sPath.pop_back();
  std::size_t nSeparator = sPath.find_last_of("\\/");
  if (nSeparator == std::string::npos) return false;
  // A share's root, \\server\share, has no parent.
  if (sPath.compare(0, 2, "\\\\") == 0 && sPath.find_first_of("\\/", 2) == nSeparator) return false;
  if (nSeparator == 2 && sPath[1] == ':') {
    if (sPath.size() == 3) return false;  // C:\ is a root
    sPath.resize(3);
    return true;
  }
  sPath.resize(nSeparator);
  return true;
}

int makeTempFolder(const std::string& sParent, std::string& sMade) {
  const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uint64_t nSeed = GetTickCount64() ^ (std::uint64_t{GetCurrentProcessId()} << 20);
  for (int nTry = 0; nTry < 100; nTry++) {
    char szSuffix[7];
    for (int i = 0; i < 6; i++) {
      nSeed = nSeed * 6364136223846793005u + 1442695040888963407u;
      szSuffix[i] = kLetters[(nSeed >> 33) % (sizeof kLetters - 1)];
    }
    szSuffix[6] = '\0';
    std::string sPath = sParent;
    if (sPath.empty() || (sPath.back() != '\\' && sPath.back() != '/')) sPath += '\\';
    sPath += "plomet-measure-";
    sPath += szSuffix;
    if (CreateDirectoryW(longPath(sPath).c_str(), nullptr)) {
      sMade = sPath;
      return 0;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return lastError();
  }
  return EEXIST;
}

int makeFolder(const std::string& sPath) {
  return CreateDirectoryW(longPath(sPath).c_str(), nullptr) ? 0 : lastError();
}

int removeTree(const std::string& sPath) {
  std::wstring wide = longPath(sPath);
  DWORD nAttributes = GetFileAttributesW(wide.c_str());
  if (nAttributes == INVALID_FILE_ATTRIBUTES) {
    DWORD nError = GetLastError();
    return nError == ERROR_FILE_NOT_FOUND || nError == ERROR_PATH_NOT_FOUND ? 0
                                                                            : errorNumber(nError);
  }
  int nError = removeContents(wide);
  if (!RemoveDirectoryW(wide.c_str()) && nError == 0) nError = lastError();
  return nError;
}

int createFile(const std::string& sPath, MeasureHandle& handle) {
  HANDLE file = CreateFileW(longPath(sPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lastError();
  handle = reinterpret_cast<MeasureHandle>(file);
  return 0;
}

int openFile(const std::string& sPath, MeasureHandle& handle) {
  HANDLE file = CreateFileW(longPath(sPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lastError();
  handle = reinterpret_cast<MeasureHandle>(file);
  return 0;
}

int readBlock(MeasureHandle handle, void* pBuffer, std::size_t nSize, std::size_t& nRead) {
  DWORD nGot = 0;
  if (!ReadFile(toHandle(handle), pBuffer, static_cast<DWORD>(nSize), &nGot, nullptr)) {
    return lastError();
  }
  nRead = nGot;
  return 0;
}

int writeBlock(MeasureHandle handle, const void* pBuffer, std::size_t nSize) {
  const char* pC = static_cast<const char*>(pBuffer);
  while (nSize > 0) {
    DWORD nWritten = 0;
    if (!WriteFile(toHandle(handle), pC, static_cast<DWORD>(nSize), &nWritten, nullptr)) {
      return lastError();
    }
    if (nWritten == 0) return ENOSPC;
    pC += nWritten;
    nSize -= nWritten;
  }
  return 0;
}

int flushFile(MeasureHandle handle) { return FlushFileBuffers(toHandle(handle)) ? 0 : lastError(); }

int closeFile(MeasureHandle handle) { return CloseHandle(toHandle(handle)) ? 0 : lastError(); }

int settleFolder(const std::string& sPath) {
  // Flushing a whole volume needs an administrator; each file is flushed
  // instead.
  std::wstring wide = longPath(sPath);
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileExW((wide + L"\\*").c_str(), FindExInfoBasic, &found,
                                 FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return lastError();
  int nError = 0;
  do {
    if (isDots(found.cFileName) || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      continue;
    }
    HANDLE file = CreateFileW((wide + L"\\" + found.cFileName).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE || !FlushFileBuffers(file)) {
      if (nError == 0) nError = lastError();
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  } while (nError == 0 && FindNextFileW(find, &found));
  FindClose(find);
  return nError;
}

void catchSignals(SavedSignals& saved) {
  for (int i = 0; i < kMeasureSignalCount; i++) {
    void (*pOld)(int) = std::signal(kMeasureSignals[i], noteMeasureSignal);
    saved.abCaught[i] = pOld != SIG_ERR;
    saved.apOld[i] = pOld;
    // A signal ignored stays ignored.
    if (pOld == SIG_IGN) {
      std::signal(kMeasureSignals[i], SIG_IGN);
      saved.abCaught[i] = false;
    }
  }
}

void restoreSignals(const SavedSignals& saved) {
  for (int i = 0; i < kMeasureSignalCount; i++) {
    if (saved.abCaught[i]) std::signal(kMeasureSignals[i], saved.apOld[i]);
  }
}

#endif  // _WIN32
