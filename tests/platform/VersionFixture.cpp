// Fixture library of the file version tests; carries a record when built with one.
#include "platform/VersionRecord.h"

#ifdef TRS_FIXTURE_VERSION
#define TRS_FIXTURE_RECORD(...) TRS_VERSION_RECORD(__VA_ARGS__)
TRS_FIXTURE_RECORD(TRS_FIXTURE_VERSION);
#endif

extern "C" int TrsVersionFixture() { return 1; }
