# The Windows branch of the test suite (MinGW cross build): the unit tests of portable code,
# the Windows-only tests and the helper program; ctest runs them under Wine, each executable
# as one test, in a Wine prefix below the build folder.
find_package(GTest CONFIG REQUIRED)

# The support the portable tests need; the servers, standard-error capture and the launcher
# runner of the end-to-end tests are Linux-only. *_win32.cpp files are the Windows halves of
# portable helpers (background child processes among them).
set(ZEB_WINDOWS_TEST_SUPPORT_SOURCES
  ChildProcess.cpp ClientInfoText.cpp LockHolder.cpp LogEntries.cpp LogOutputCapture.cpp
  SampleApp.cpp ScopedEnv.cpp SignedReleaseVectors.cpp TempDir.cpp TestLog.cpp
  TimedBoxRecorder.cpp)
list(TRANSFORM ZEB_WINDOWS_TEST_SUPPORT_SOURCES PREPEND "${CMAKE_CURRENT_SOURCE_DIR}/support/")
file(GLOB ZEB_WIN32_TEST_SUPPORT_SOURCES CONFIGURE_DEPENDS
     "${CMAKE_CURRENT_SOURCE_DIR}/support/*_win32.cpp")
add_library(zeb_test_support STATIC ${ZEB_WINDOWS_TEST_SUPPORT_SOURCES}
                                    ${ZEB_WIN32_TEST_SUPPORT_SOURCES})
target_include_directories(zeb_test_support PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zeb_test_support PUBLIC zeb_launcher zeb_release_keys GTest::gtest)
# Paths as the programs see them under Wine, whose drive Z: is the host's root.
target_compile_definitions(zeb_test_support PUBLIC
  ZEB_SOURCE_DIR="Z:${CMAKE_SOURCE_DIR}"
  ZEB_LAUNCHER_EXE="Z:$<TARGET_FILE:zeb_launcher_exe>"
  ZEB_SAMPLE_APP_EXE="Z:$<TARGET_FILE:zeb-sample-app>"
  ZEB_TEST_HELPER_DIR="Z:$<TARGET_FILE_DIR:zeb-test-helper>"
  ZEB_PROJECT_VERSION="${PROJECT_VERSION}")

add_executable(zeb-test-helper helpers/test_helper.cpp helpers/reap_win32.cpp)
target_link_libraries(zeb-test-helper PRIVATE zeb_common)
zeb_add_program(zeb-test-helper "ZEB test helper")

# The prefix is made by the first run (wineboot) and kept; every test needs it.
set(ZEB_WINE_PREFIX "${CMAKE_BINARY_DIR}/wine-prefix")
add_test(NAME wine_prefix
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/windows/wine-prefix.sh" "${ZEB_WINE_PREFIX}")
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300)

file(GLOB ZEB_WINDOWS_TEST_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/unit/test_*.cpp")
list(FILTER ZEB_WINDOWS_TEST_SOURCES EXCLUDE REGEX ".*/test_os_posix[^/]*\\.cpp$")
foreach(name ${ZEB_LINUX_ONLY_UNIT_TESTS})
  list(REMOVE_ITEM ZEB_WINDOWS_TEST_SOURCES "${CMAKE_CURRENT_SOURCE_DIR}/unit/${name}.cpp")
endforeach()
foreach(src ${ZEB_WINDOWS_TEST_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE zeb_test_support GTest::gtest_main)
  add_dependencies(${name} zeb_launcher_exe zeb-sample-app zeb-test-helper)
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "bash;${CMAKE_CURRENT_SOURCE_DIR}/windows/wine-run.sh;${ZEB_WINE_PREFIX}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_prefix TIMEOUT 300)
endforeach()
