# The animated cursor file parser (vxBusy.ani).
trs_add_fuzzer(fuzz_ani_cursor FuzzAniCursor.cpp trs_desktop)
