// Text between the program, which keeps it in UTF-8 on every system, and
// Windows' wide (UTF-16) calls, which reach every file name; the narrow calls
// reach only names the ANSI code page can spell.
#pragma once
#ifdef _WIN32

#include <string>

// UTF-8 to UTF-16. Bytes that are no UTF-8 are read in the ANSI code page,
// as the narrow calls would have read them.
std::wstring wideText(const std::string& text);

// UTF-16 to UTF-8; length -1: up to the terminating null.
std::string utf8Text(const wchar_t* text, int length = -1);

#endif
