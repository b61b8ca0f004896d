// How a stand-in marks the functions the program finds by name: plain C names in the
// DLL's export table (only these are exported).
#pragma once

#define TRS_EXPORT extern "C" __declspec(dllexport)
