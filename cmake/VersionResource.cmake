# trs_version_resource(<output .rc> FILE_DESCRIPTION <text> ORIGINAL_NAME <file name>
#                      VERSION <4 numbers> [PRODUCT_VERSION <4 numbers>] [LIBRARY])
# Writes the Windows version resource of a program (or, with LIBRARY, a DLL): the same
# fixed record that Linux builds carry in their ELF section, which ReadFixedFileInfo reads
# back through the system's version API. Add the output to the target's sources.
function(trs_version_resource output)
  cmake_parse_arguments(V "LIBRARY" "FILE_DESCRIPTION;ORIGINAL_NAME" "VERSION;PRODUCT_VERSION" ${ARGN})
  if(NOT V_PRODUCT_VERSION)
    set(V_PRODUCT_VERSION ${V_VERSION})
  endif()
  list(JOIN V_VERSION "," file_commas)
  list(JOIN V_VERSION "." file_dots)
  list(JOIN V_PRODUCT_VERSION "," product_commas)
  list(JOIN V_PRODUCT_VERSION "." product_dots)
  if(V_LIBRARY)
    set(file_type 2)  # VFT_DLL
  else()
    set(file_type 1)  # VFT_APP
  endif()
  file(CONFIGURE OUTPUT "${output}" CONTENT [[
1 VERSIONINFO
FILEVERSION @file_commas@
PRODUCTVERSION @product_commas@
FILEFLAGSMASK 0x3F
FILEFLAGS 0
FILEOS 0x40004
FILETYPE @file_type@
FILESUBTYPE 0
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904B0"
    BEGIN
      VALUE "FileDescription", "@V_FILE_DESCRIPTION@"
      VALUE "FileVersion", "@file_dots@"
      VALUE "OriginalFilename", "@V_ORIGINAL_NAME@"
      VALUE "ProductName", "TallyReportSrv"
      VALUE "ProductVersion", "@product_dots@"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200
  END
END
]] @ONLY)
endfunction()
