#pragma once
// Splits a command line into program and arguments the way Windows programs receive their
// argv, so a command recorded for the installer reaches the new process as its author meant.
//
// Argument rules: blanks and tabs separate arguments outside double quotes; a double quote
// starts or ends a quoted part; backslashes are literal unless they precede a double quote,
// where 2n backslashes give n and the quote delimits, 2n+1 give n and a literal quote; inside
// a quoted part, "" gives a literal quote and ends the quoted part.
//
// The program name (first item) is read by simpler rules: quoted, it runs to the next double
// quote whatever comes between; unquoted, it runs to the first blank or tab. Backslashes are
// literal there.

#include <string>
#include <vector>

namespace KDAutoUpdate {

// Program and arguments. Leading blanks before the program are skipped; an empty or blank
// text gives no items.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Every item by the argument rules (the text holds arguments only).
std::vector<std::string> SplitArguments(const std::string& arguments);

} // namespace KDAutoUpdate
