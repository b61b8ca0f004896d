# The dialog runner: engine dialogs on worker threads, with the browser window given back.
target_sources(trs_desktop PRIVATE ktShowDialog.cpp)
