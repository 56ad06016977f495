// <windows.h> for the Win32 backend. The platform interface has members
// named MoveFile and DeleteFile, which <windows.h> turns into macros: they are
// undone here so that both can be included together. Backend code calls the
// W functions by their full names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef MoveFile
#undef DeleteFile
