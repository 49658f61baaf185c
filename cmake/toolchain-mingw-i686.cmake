# Cross-compiles for 32-bit Windows (the shipping build): the x86-64 toolchain file with
# the i686 compilers.
set(ZEB_MINGW_PROCESSOR i686)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-x86_64.cmake")
