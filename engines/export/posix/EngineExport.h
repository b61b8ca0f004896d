// How a stand-in marks the functions the program finds by name: plain C names, visible
// outside the shared object (everything else is hidden).
#pragma once

#define TRS_EXPORT extern "C" __attribute__((visibility("default")))
