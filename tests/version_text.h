// version_text.h - the version as the build states it (cellattr_version.h,
// written from project() in CMakeLists.txt), in the words the tests expect
// to read: so that a new version is written in CMakeLists.txt alone.  The
// one test that pins the released version is Version.IsTheReleasedOne
// (plugin_test.cpp).
#pragma once

#include "cellattr_version.h"

#include <string>

// "MAJOR.MINOR.PATCH", such as "0.91.0".
inline std::string VersionText()
{
    return std::to_string(CELLATTR_VERSION_MAJOR) + "." + std::to_string(CELLATTR_VERSION_MINOR) +
           "." + std::to_string(CELLATTR_VERSION_PATCH);
}

// The load banner, as InitializePlugin prints it.
inline std::u16string ExpectedBanner()
{
    std::string line = "CellAttr v" + VersionText() + " loaded.\r\n";
    return std::u16string(line.begin(), line.end());
}
