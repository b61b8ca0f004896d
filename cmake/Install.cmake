# `cmake --install build [--prefix DIR]`: the program folder (the program, data/ and a
# CONFIG.CFG) and an XDG autostart entry that starts the tray program at login.
#
#   per user:     cmake --install build --prefix ~/.local
#                 -> ~/.local/lib/TallyReportSrv/, ~/.config/autostart/TallyReportSrv.desktop
#   system-wide:  sudo cmake --install build --prefix /opt/tally
#                 -> /opt/tally/lib/TallyReportSrv/, /etc/xdg/autostart/TallyReportSrv.desktop
#
# The program keeps data/ and CONFIG.CFG beside itself, so the folder must be writable by
# the user who runs it. An existing CONFIG.CFG is kept.
#
# Included by src/shell/CMakeLists.txt once the program and its desktop module exist.
set(TRS_PROGRAM_FOLDER "lib/TallyReportSrv" CACHE STRING
    "The program folder, relative to the install prefix")
set(TRS_AUTOSTART_DIR "" CACHE PATH
    "Where the autostart entry goes (empty: ~/.config/autostart for a prefix inside the home directory, else /etc/xdg/autostart)")

install(TARGETS TallyReportSrv RUNTIME DESTINATION ${TRS_PROGRAM_FOLDER})
install(TARGETS TallyReportSrvDesktop LIBRARY DESTINATION ${TRS_PROGRAM_FOLDER})
install(DIRECTORY DESTINATION ${TRS_PROGRAM_FOLDER}/data)
install(CODE "
  set(folder \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TRS_PROGRAM_FOLDER}\")
  if(NOT EXISTS \"\${folder}/CONFIG.CFG\")
    message(STATUS \"Installing: \${folder}/CONFIG.CFG\")
    file(WRITE \"\${folder}/CONFIG.CFG\" \"PORT=\\r\\nLISTEN=\\r\\nEND\\r\\n\")
  else()
    message(STATUS \"Keeping: \${folder}/CONFIG.CFG\")
  endif()

  set(autostart \"${TRS_AUTOSTART_DIR}\")
  if(autostart STREQUAL \"\")
    string(FIND \"\${CMAKE_INSTALL_PREFIX}/\" \"\$ENV{HOME}/\" inHome)
    if(inHome EQUAL 0 AND NOT \"\$ENV{HOME}\" STREQUAL \"\")
      set(autostart \"\$ENV{HOME}/.config/autostart\")
    else()
      set(autostart \"/etc/xdg/autostart\")
    endif()
  endif()
  set(entry \"\$ENV{DESTDIR}\${autostart}/TallyReportSrv.desktop\")
  message(STATUS \"Installing: \${entry}\")
  file(WRITE \"\${entry}\" \"[Desktop Entry]
Type=Application
Name=TallyReportSrv
Comment=Local print service for web pages
Exec=\${CMAKE_INSTALL_PREFIX}/${TRS_PROGRAM_FOLDER}/TallyReportSrv
Terminal=false
X-GNOME-Autostart-enabled=true
\")
")
