# Linux: Debian's packages, and a version record stamped into every binary as an ELF section.
set(ZEB_OS_BACKEND posix)

find_package(PkgConfig REQUIRED)
find_package(CURL REQUIRED)
find_package(fmt REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(Threads REQUIRED)
find_path(RAPIDJSON_INCLUDE_DIR rapidjson/document.h REQUIRED)
find_path(HTTPLIB_INCLUDE_DIR httplib.h REQUIRED)
# Debian ships cpp-httplib as a compiled library; its flags must match the build of it.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)

add_library(zeb_curl INTERFACE)
target_link_libraries(zeb_curl INTERFACE CURL::libcurl)
add_library(zeb_fmt INTERFACE)
target_link_libraries(zeb_fmt INTERFACE fmt::fmt)
add_library(zeb_json INTERFACE)
target_include_directories(zeb_json SYSTEM INTERFACE ${RAPIDJSON_INCLUDE_DIR})
add_library(zeb_os_system INTERFACE)
# libcrypto: SHA-256 and signature checks.
target_link_libraries(zeb_os_system INTERFACE Threads::Threads OpenSSL::Crypto)

set(ZEB_VERSION_SOURCE "${CMAKE_BINARY_DIR}/generated/version_record.cpp")
configure_file(${CMAKE_SOURCE_DIR}/common/os/version_record.cpp.in "${ZEB_VERSION_SOURCE}" @ONLY)
add_library(zeb_version OBJECT "${ZEB_VERSION_SOURCE}")
target_include_directories(zeb_version PRIVATE ${CMAKE_SOURCE_DIR})

# Stamps a program with the project's version. The launcher's extra needs (administrator
# rights, a window-less start) have no meaning here.
function(zeb_add_program target description)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:zeb_version>)
endfunction()
