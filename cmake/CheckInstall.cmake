# Installs the build into a scratch DESTDIR twice (the second time over a changed
# CONFIG.CFG) and checks the program folder and the autostart entry; a prefix outside the
# home directory is refused with nothing installed.
#   cmake -DBUILD_DIR=... -DSCRATCH=... -P CheckInstall.cmake
file(REMOVE_RECURSE "${SCRATCH}")
set(ENV{DESTDIR} "${SCRATCH}")
set(ENV{HOME} "/home/tester")

function(install_to prefix)
  execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                  RESULT_VARIABLE failed OUTPUT_QUIET)
  if(failed)
    message(FATAL_ERROR "cmake --install failed")
  endif()
endfunction()

function(expect_file path content)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "missing: ${path}")
  endif()
  # Compared as hex: file(READ) does not keep carriage returns in text.
  file(READ "${path}" actual HEX)
  string(HEX "${content}" wanted)
  string(FIND "${actual}" "${wanted}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${path} lacks \"${content}\"; it holds (hex): ${actual}")
  endif()
endfunction()

set(folder "${SCRATCH}/home/tester/.local/lib/TallyReportSrv")
install_to("/home/tester/.local")
if(NOT IS_DIRECTORY "${folder}/data" OR NOT EXISTS "${folder}/TallyReportSrv"
   OR NOT EXISTS "${folder}/TallyReportSrv-desktop.so")
  message(FATAL_ERROR "the program folder lacks the program, its desktop module or data/")
endif()
expect_file("${folder}/CONFIG.CFG" "PORT=\r\nLISTEN=\r\nEND\r\n")
expect_file("${SCRATCH}/home/tester/.config/autostart/TallyReportSrv.desktop"
            "Exec=/home/tester/.local/lib/TallyReportSrv/TallyReportSrv\n")

file(WRITE "${folder}/CONFIG.CFG" "PORT=9100\r\nEND\r\n")
install_to("/home/tester/.local")
expect_file("${folder}/CONFIG.CFG" "PORT=9100\r\n")  # the user's settings are kept

execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /opt/tally
                RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE refusal)
if(NOT failed OR NOT refusal MATCHES "installed per user")
  message(FATAL_ERROR "an install into /opt/tally was not refused: ${refusal}")
endif()
if(EXISTS "${SCRATCH}/opt" OR EXISTS "${SCRATCH}/etc")
  message(FATAL_ERROR "the refused install left files behind")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
