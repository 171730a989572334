// Paths between the program's UTF-8 and the system's UTF-16 (widepath_windows.h).
#ifdef _WIN32

#include "sources/widepath_windows.h"

#include <windows.h>

#include <cwchar>

std::wstring wideText(const std::string& sText) {
  if (sText.empty()) return std::wstring();
  int nWide =
      MultiByteToWideChar(CP_UTF8, 0, sText.data(), static_cast<int>(sText.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(nWide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, sText.data(), static_cast<int>(sText.size()), &wide[0], nWide);
  return wide;
}

void narrowText(const wchar_t* szWide, std::string& sOut) {
  int nWide = static_cast<int>(std::wcslen(szWide));
  int nBytes = WideCharToMultiByte(CP_UTF8, 0, szWide, nWide, nullptr, 0, nullptr, nullptr);
  sOut.resize(static_cast<std::size_t>(nBytes));
  if (nBytes > 0) {
    WideCharToMultiByte(CP_UTF8, 0, szWide, nWide, &sOut[0], nBytes, nullptr, nullptr);
  }
}

std::string wholePath(const std::string& sPath) {
  std::wstring wide = wideText(sPath);
  std::string sOut = sPath;
  DWORD nNeeded = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (nNeeded > 0) {
    std::wstring full(nNeeded, L'\0');
    DWORD nLength = GetFullPathNameW(wide.c_str(), nNeeded, &full[0], nullptr);
    if (nLength > 0 && nLength < nNeeded) {
      full.resize(nLength);
      narrowText(full.c_str(), sOut);
    }
  }
  return sOut;
}

std::wstring longPath(const std::string& sPath) {
  std::wstring wide = wideText(sPath);
  if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
  if (wide.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
  return L"\\\\?\\" + wide;
}

#endif  // _WIN32
