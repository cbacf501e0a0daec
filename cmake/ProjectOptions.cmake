# One interface target carries the language level, warnings and common
# definitions, so every library and test is built the same way.
add_library(vidralo_options INTERFACE)
target_compile_features(vidralo_options INTERFACE cxx_std_20)
target_compile_options(vidralo_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wno-missing-field-initializers)
target_compile_definitions(vidralo_options INTERFACE
  QT_NO_KEYWORDS)
target_include_directories(vidralo_options INTERFACE ${PROJECT_SOURCE_DIR}/src)

# vidralo_library(NAME SOURCES... [DEPS ...]) builds one folder of src/ as a
# static library named vidralo_NAME.
function(vidralo_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(vidralo_${name} STATIC ${ARG_SOURCES})
  target_link_libraries(vidralo_${name} PUBLIC vidralo_options ${ARG_DEPS})
endfunction()

# vidralo_test(NAME SOURCES... [DEPS ...] [OWN_MAIN]) builds one GoogleTest
# executable and registers its cases with ctest. OWN_MAIN: the sources bring
# their own main (for tests that need a Qt application object).
function(vidralo_test name)
  cmake_parse_arguments(ARG "OWN_MAIN" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE vidralo_options vidralo_testsupport ${ARG_DEPS} GTest::gtest GTest::gmock)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE vidralo_testmain)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()
