# Writes the default CONFIG.CFG (every key the program reads, empty) to TRS_CONFIG_FILE,
# unless a file is there already: the user's settings are kept. Used by the build (beside
# build/TallyReportSrv) and by the install.
#   cmake -DTRS_CONFIG_FILE=<path> [-DTRS_CONFIG_REPORT=ON] -P DefaultConfig.cmake
if(EXISTS "${TRS_CONFIG_FILE}")
  if(TRS_CONFIG_REPORT)
    message(STATUS "Keeping: ${TRS_CONFIG_FILE}")
  endif()
else()
  if(TRS_CONFIG_REPORT)
    message(STATUS "Installing: ${TRS_CONFIG_FILE}")
  endif()
  file(WRITE "${TRS_CONFIG_FILE}" "PORT=\r\nLISTEN=\r\nEND\r\n")
endif()
