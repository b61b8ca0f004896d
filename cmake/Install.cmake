# `cmake --install build --prefix ~/.local`: the program folder and an XDG autostart entry
# that starts the tray program at login, for the user who installs it:
#
#   ~/.local/lib/TallyReportSrv/TallyReportSrv              the program
#   ~/.local/lib/TallyReportSrv/TallyReportSrv-desktop.so   its tray icon and port form
#   ~/.local/lib/TallyReportSrv/data/                       tables staged for the engines
#   ~/.local/lib/TallyReportSrv/CONFIG.CFG                  settings (an existing one is kept)
#   ~/.config/autostart/TallyReportSrv.desktop
#
# The program writes data/ and CONFIG.CFG in its own folder, so that folder must belong to
# the user who runs it: the install goes into the installing user's home directory and
# refuses any other prefix (a shared folder such as /opt installed with sudo would be
# owned by root and unwritable for everyone who runs the program).
#
# Included by src/shell/CMakeLists.txt once the program and its desktop module exist.
set(TRS_PROGRAM_FOLDER "lib/TallyReportSrv" CACHE STRING
    "The program folder, relative to the install prefix")

install(CODE "
  get_filename_component(home \"\$ENV{HOME}\" ABSOLUTE)
  get_filename_component(prefix \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
  string(FIND \"\${prefix}/\" \"\${home}/\" inHome)
  if(\"\$ENV{HOME}\" STREQUAL \"\" OR NOT inHome EQUAL 0 OR home STREQUAL \"/\")
    message(FATAL_ERROR \"TallyReportSrv is installed per user, into your home directory \"
      \"(cmake --install build --prefix ~/.local, without sudo): the program writes \"
      \"CONFIG.CFG and data/ in its own folder, which must belong to the user who runs it. \"
      \"\${prefix} is outside \$ENV{HOME}.\")
  endif()
")
install(TARGETS TallyReportSrv RUNTIME DESTINATION ${TRS_PROGRAM_FOLDER})
install(TARGETS TallyReportSrvDesktop LIBRARY DESTINATION ${TRS_PROGRAM_FOLDER})
install(DIRECTORY DESTINATION ${TRS_PROGRAM_FOLDER}/data)
install(CODE "
  set(TRS_CONFIG_FILE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TRS_PROGRAM_FOLDER}/CONFIG.CFG\")
  set(TRS_CONFIG_REPORT ON)
  include(\"${PROJECT_SOURCE_DIR}/cmake/DefaultConfig.cmake\")

  set(entry \"\$ENV{DESTDIR}\$ENV{HOME}/.config/autostart/TallyReportSrv.desktop\")
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
