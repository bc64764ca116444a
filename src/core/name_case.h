// Name case: how names are shown, shared by directory matching and the name
// functions.
#pragma once

namespace kx {

// NameCaseMode: how names are cased for showing.
constexpr int kCaseLower = 0;      // names of 8.3 form in lower case
constexpr int kCaseUpper = 1;      // names of 8.3 form in upper case
constexpr int kCaseAsStored = 2;   // (and any other value) names as they are stored

// Whether the name has the shape of an 8.3 name: no space, no leading dot, at
// most one dot, at most 8 characters before it and 3 after it. The empty name
// is of 8.3 form. Only the shape counts; separators are ordinary characters.
bool IsShortForm(const char *name);

// Lower-cases (mode 0) or upper-cases (mode 1) a name of 8.3 form in place, by
// the ANSI code page; any other name or mode is left as it is. Returns the name.
char *NormalizeNameCase(char *name, int mode);

}  // namespace kx
