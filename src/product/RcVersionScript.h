#pragma once
// Reads the VERSIONINFO statement of a resource script (.rc), the same text a Windows
// build compiles into the executable, so that other builds can embed identical bytes.
// Understood: the fixed statements (FILEVERSION, PRODUCTVERSION, FILEFLAGSMASK, FILEFLAGS,
// FILEOS, FILETYPE, FILESUBTYPE) with numbers joined by "|" or "+", BLOCK "StringFileInfo"
// with its string tables of VALUE "Key", "Text", BLOCK "VarFileInfo" with VALUE "Translation",
// BEGIN/END or braces, // and /* */ comments; preprocessor lines (#...) are skipped, so the
// script must spell its numbers out. Other resource statements in the script are ignored.

#include <stdexcept>
#include <string_view>

#include "product/VersionResource.h"

namespace corvane {

class ERcScript : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Text is the script in UTF-8. Raises ERcScript with the line number on a syntax error
// or when the script holds no VERSIONINFO statement.
TVersionResourceDesc ParseRcVersionScript(std::string_view Text);

}  // namespace corvane
