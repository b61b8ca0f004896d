// The version record of a stand-in engine, when its target gives one (TRS_ENGINE_VERSION:
// file major, minor, release, build, then the product version's four parts).
#include "platform/VersionRecord.h"

#ifdef TRS_ENGINE_VERSION
#define TRS_ENGINE_RECORD(...) TRS_VERSION_RECORD(__VA_ARGS__)
TRS_ENGINE_RECORD(TRS_ENGINE_VERSION);
#endif
