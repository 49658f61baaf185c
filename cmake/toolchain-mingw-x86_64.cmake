# Cross-compiles for Windows with Debian's MinGW-w64 compilers of the posix thread model
# (std::thread and std::mutex work). toolchain-mingw-i686.cmake reuses this file with its
# own processor.
#
# Only the MinGW sysroot and the third-party prefixes that scripts/thirdparty.sh made
# (ZEB_TP_* variables, e.g. from `-C build/thirdparty/<arch>.cmake`) are searched, so no
# Linux header or library can reach a Windows build.
if(NOT ZEB_MINGW_PROCESSOR)
  set(ZEB_MINGW_PROCESSOR x86_64)
endif()
set(ZEB_MINGW_TRIPLE ${ZEB_MINGW_PROCESSOR}-w64-mingw32)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZEB_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${ZEB_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEB_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEB_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEB_MINGW_TRIPLE})
foreach(prefix IN ITEMS "${ZEB_TP_CURL_ROOT}" "${ZEB_TP_GTEST_ROOT}")
  if(prefix)
    list(APPEND CMAKE_FIND_ROOT_PATH "${prefix}")
  endif()
endforeach()
if(ZEB_TP_HEADERS)
  # The header folder is <prefix>/include; its prefix lets find_path() see it.
  get_filename_component(ZEB_TP_HEADERS_PREFIX "${ZEB_TP_HEADERS}" DIRECTORY)
  list(APPEND CMAKE_FIND_ROOT_PATH "${ZEB_TP_HEADERS_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_USE_PACKAGE_REGISTRY OFF)
set(CMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY OFF)

# pkg-config sees the same prefixes only.
set(ZEB_MINGW_PKG_CONFIG_PATH "")
foreach(prefix IN LISTS CMAKE_FIND_ROOT_PATH)
  list(APPEND ZEB_MINGW_PKG_CONFIG_PATH "${prefix}/lib/pkgconfig" "${prefix}/share/pkgconfig")
endforeach()
string(REPLACE ";" ":" ZEB_MINGW_PKG_CONFIG_PATH "${ZEB_MINGW_PKG_CONFIG_PATH}")
set(ENV{PKG_CONFIG_LIBDIR} "${ZEB_MINGW_PKG_CONFIG_PATH}")
set(ENV{PKG_CONFIG_PATH} "")

# libgcc, libstdc++ and winpthread linked in: the programs need no MinGW DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
