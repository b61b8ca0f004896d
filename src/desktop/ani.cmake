# The animated cursor file parser (RIFF "ACON"), used by the shell's busy cursor.
target_sources(trs_desktop PRIVATE AniCursor.cpp)
