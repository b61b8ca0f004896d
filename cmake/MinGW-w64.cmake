# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, so
# std::thread and std::mutex work) and runs what it builds under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_triplet}-windres)

# Libraries and headers come from the MinGW sysroot and from what scripts/windows-deps.sh
# builds into the build tree (GoogleTest, pugixml); never from the Linux host.
set(CMAKE_FIND_ROOT_PATH /usr/${_triplet} ${CMAKE_BINARY_DIR}/deps)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One executable per program and test: the C and C++ runtimes and winpthread linked in, so
# only system DLLs are needed beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
