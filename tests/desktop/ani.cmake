# The animated cursor file parser.
trs_add_test(desktop_ani_tests SOURCES AniCursorTest.cpp LIBS trs_desktop)
