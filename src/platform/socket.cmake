# TCP sockets for the HTTP layer; the per-OS sources are chosen here.
target_sources(trs_platform PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/Socket_posix.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ListenWaiter_linux.cpp)
