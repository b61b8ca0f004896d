// The program's own version record; the build passes the project's version in.
#include "platform/VersionRecord.h"

TRS_VERSION_RECORD(TRS_VERSION_MAJOR, TRS_VERSION_MINOR, TRS_VERSION_PATCH, TRS_VERSION_TWEAK,
                   TRS_VERSION_MAJOR, TRS_VERSION_MINOR, TRS_VERSION_PATCH, TRS_VERSION_TWEAK);
