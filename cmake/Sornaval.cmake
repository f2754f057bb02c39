# Common settings for the program's libraries, executables and tests.

function(sornaval_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor
                                           -Wno-missing-field-initializers)
  if(SORNAVAL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# sornaval_library(name SOURCES ... DEPENDS ... [QT])
# A static library of one folder. Its include root is the source tree, so
# headers are named by folder: #include "base/Text.h".
function(sornaval_library name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  sornaval_warnings(${name})
  if(ARG_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
endfunction()

# sornaval_test(name SOURCES ... DEPENDS ... [QT] [OWN_MAIN])
# One GoogleTest program per library; every test in it is registered with CTest.
# OWN_MAIN: the sources bring their own main() (window tests create the
# QApplication there).
function(sornaval_test name)
  cmake_parse_arguments(ARG "QT;OWN_MAIN" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} test_support GTest::gtest GTest::gmock)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  sornaval_warnings(${name})
  if(ARG_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  # The tests' environment: no online lookups, no real sound, the test data.
  # Set on the discovered tests by a file CTest reads after the discovery's
  # own (PROPERTIES of the discovery would split the list into properties).
  set(environment "QT_QPA_PLATFORM=offscreen;SORNAVAL_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
                  "SORNAVAL_ACCURATERIP=off;SORNAVAL_MUSICBRAINZ=off;SORNAVAL_LOOKUP_ON_INSERT=off")
  set(environment_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake)
  file(WRITE ${environment_file}
       "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT \"${environment}\")\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${environment_file})
endfunction()
