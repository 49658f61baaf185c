# The release keys of a build: public key files as `zeb-release keygen` writes them
#   {"KEY_ID": "<16 hex digits>", "ALG": "ECDSA_P256_SHA256", "PUBLIC_KEY": "04<128 hex digits>"}
# become a source defining `std::span<const ReleaseKey> FUNCTION()` (launcher/ReleaseKeys.h).
# Relative paths are taken from the source folder; a changed key file reconfigures.
function(zeb_release_keys_source output function)
  set(entries "")
  foreach(file IN LISTS ARGN)
    get_filename_component(path "${file}" ABSOLUTE BASE_DIR "${CMAKE_SOURCE_DIR}")
    if(NOT EXISTS "${path}")
      message(FATAL_ERROR "release key file not found: ${file}")
    endif()
    set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${path}")
    file(READ "${path}" text)
    string(JSON algorithm ERROR_VARIABLE algorithm_error GET "${text}" ALG)
    string(JSON point ERROR_VARIABLE point_error GET "${text}" PUBLIC_KEY)
    if(algorithm_error OR point_error OR NOT algorithm STREQUAL "ECDSA_P256_SHA256"
       OR NOT point MATCHES "^04[0-9a-f]+$")
      message(FATAL_ERROR "not a P-256 public key file of zeb-release: ${file}")
    endif()
    string(LENGTH "${point}" digits)
    if(NOT digits EQUAL 130)
      message(FATAL_ERROR "not a P-256 public key file of zeb-release: ${file}")
    endif()
    string(REGEX REPLACE "(..)" "0x\\1," bytes "${point}")
    string(APPEND entries "    {{${bytes}}},\n")
  endforeach()
  if(entries)
    set(body "namespace {\nconstexpr ReleaseKey kKeys[] = {\n${entries}};\n}  // namespace\n\n"
             "std::span<const ReleaseKey> ${function}() { return kKeys; }\n")
  else()
    set(body "std::span<const ReleaseKey> ${function}() { return {}; }\n")
  endif()
  file(CONFIGURE OUTPUT "${output}" CONTENT
       "// Made by the build from its release key files; not edited by hand.\n#include \"launcher/ReleaseKeys.h\"\n\n${body}"
       @ONLY)
endfunction()

# A static library TARGET holding one key list as BuildReleaseKeys(), generated as
# generated/TARGET.cpp from the key files given.
function(zeb_release_keys_library target)
  set(source "${CMAKE_BINARY_DIR}/generated/${target}.cpp")
  zeb_release_keys_source("${source}" BuildReleaseKeys ${ARGN})
  add_library(${target} STATIC "${source}")
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
endfunction()
