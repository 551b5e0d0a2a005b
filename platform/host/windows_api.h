// <windows.h> for our Windows sources. Its character-set macros would rename our
// own functions and methods (GetComputerName becomes GetComputerNameA in one
// file but not in another), so they are undone here; Windows sources call the
// ANSI entry points by their full names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef GetComputerName
#undef GetUserName
#undef GetProfileString
#undef WriteProfileString
#undef ReplaceFile
#undef CreateFile
#undef CopyFile
#undef GetVersion
