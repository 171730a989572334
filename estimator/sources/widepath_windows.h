// Paths handed to Windows: the program keeps them in UTF-8, the system
// takes UTF-16, and a path with the \\?\ prefix may be of any length. Shared
// by the walk and the measurement.
#ifndef PLOMET_ESTIMATOR_SOURCES_WIDEPATH_WINDOWS_H_
#define PLOMET_ESTIMATOR_SOURCES_WIDEPATH_WINDOWS_H_
#ifdef _WIN32

#include <string>

/// Returns the UTF-8 text in UTF-16.
std::wstring wideText(const std::string& sText);

/// Writes the UTF-16 text szWide (NUL-terminated) into sOut in UTF-8.
void narrowText(const wchar_t* szWide, std::string& sOut);

/// Returns the path made whole as the system reads it (relative to the
/// current folder, / as \, . and .. gone), or the path as given when the
/// system cannot.
std::string wholePath(const std::string& sPath);

/// Returns the path as the system takes it at any length: C:\x as \\?\C:\x,
/// \\server\share as \\?\UNC\server\share. The prefix turns off the
/// system's reading of the path, so sPath must be whole (wholePath).
std::wstring longPath(const std::string& sPath);

#endif  // _WIN32
#endif  // PLOMET_ESTIMATOR_SOURCES_WIDEPATH_WINDOWS_H_
