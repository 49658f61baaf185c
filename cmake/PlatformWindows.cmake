# Windows (MinGW-w64 cross build): the third-party parts scripts/thirdparty.sh built from
# Debian's sources (given as ZEB_TP_* by its cache file), the Win32 system libraries, and a
# version resource in every program.
set(ZEB_OS_BACKEND win32)
enable_language(RC)

foreach(var ZEB_TP_CURL_ROOT ZEB_TP_GTEST_ROOT ZEB_TP_HEADERS)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set: configure with -C build/thirdparty/<arch>.cmake")
  endif()
endforeach()

# Wide Windows calls, no min/max macros, a lean windows.h, Windows Vista as the oldest target.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0600)

add_library(zeb_curl STATIC IMPORTED GLOBAL)
set_target_properties(zeb_curl PROPERTIES
  IMPORTED_LOCATION "${ZEB_TP_CURL_ROOT}/lib/libcurl.a"
  INTERFACE_INCLUDE_DIRECTORIES "${ZEB_TP_CURL_ROOT}/include"
  INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
  INTERFACE_LINK_LIBRARIES "${ZEB_TP_CURL_LIBS}")
# Header-only parts, from a folder that holds nothing else.
add_library(zeb_fmt INTERFACE)
target_include_directories(zeb_fmt SYSTEM INTERFACE "${ZEB_TP_HEADERS}")
target_compile_definitions(zeb_fmt INTERFACE FMT_HEADER_ONLY)
add_library(zeb_json INTERFACE)
target_include_directories(zeb_json SYSTEM INTERFACE "${ZEB_TP_HEADERS}")
add_library(zeb_os_system INTERFACE)
# bcrypt: SHA-256 and signature checks (CNG).
target_link_libraries(zeb_os_system INTERFACE shell32 shlwapi version advapi32 user32 psapi bcrypt)

# Stamps a program with the project's version resource. LAUNCHER: the launcher itself, a
# window-less GUI program entered at wWinMain whose manifest asks for administrator rights
# and declares the Windows versions it knows.
function(zeb_add_program target description)
  cmake_parse_arguments(PROGRAM "LAUNCHER" "" "" ${ARGN})
  set(ZEB_RC_FILE_DESCRIPTION "${description}")
  set(ZEB_RC_MANIFEST "")
  if(PROGRAM_LAUNCHER)
    set(ZEB_RC_MANIFEST "${CMAKE_SOURCE_DIR}/common/os/ZEB.Launcher.manifest")
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE TRUE)
    target_link_options(${target} PRIVATE -municode)
  endif()
  set(rc "${CMAKE_BINARY_DIR}/generated/${target}.rc")
  configure_file(${CMAKE_SOURCE_DIR}/common/os/win32_resources.rc.in "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
  if(ZEB_RC_MANIFEST)
    set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${ZEB_RC_MANIFEST}")
  endif()
endfunction()
