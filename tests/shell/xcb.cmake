# The X11 window operations, against a real X server (Xvfb) and window manager (openbox).
trs_add_test(shell_xcb_tests SOURCES XcbWindowsTest.cpp XvfbSession.cpp LIBS trs_xcb)
