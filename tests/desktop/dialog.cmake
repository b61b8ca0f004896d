# The dialog runner against the recording desktop.
trs_add_test(desktop_dialog_tests SOURCES ktShowDialogTest.cpp LIBS trs_test_desktop)
