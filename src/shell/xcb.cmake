# The X11 window operations behind the Qt desktop backend, on libxcb (no Qt here: the
# backend hands over Qt's own connection).
find_package(PkgConfig REQUIRED)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)

add_library(trs_xcb STATIC XcbWindows.cpp)
target_include_directories(trs_xcb PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(trs_xcb PRIVATE ${TRS_WARNINGS})
target_link_libraries(trs_xcb PUBLIC PkgConfig::XCB Threads::Threads)
