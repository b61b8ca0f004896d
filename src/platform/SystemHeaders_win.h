// windows.h as the program includes it: lean, without min/max macros, and with the macros
// that collide with the program's own names (GetMessage, MessageBox, ReplaceFile, SetPort)
// removed again. Included by Win32_win.h and by the OLE types of the Windows build, nowhere
// else.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef GetMessage
#undef MessageBox
#undef ReplaceFile
#undef SetPort
