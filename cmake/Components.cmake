# Helpers shared by every component folder.
#
#   talvor_warnings(target)             warnings (and -Werror with TALVOR_WERROR)
#   talvor_exact_float(target)          32-bit float arithmetic in source order:
#                                       no contraction into fused multiply-adds
#   add_component_test(name SOURCES ... DEPS ... [QT])
#                                       a GoogleTest executable registered with ctest;
#                                       QT runs it on the offscreen platform

if(TALVOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

function(talvor_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local)
  if(TALVOR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

function(talvor_exact_float target)
  target_compile_options(${target} PRIVATE -ffp-contract=off -fno-fast-math)
endfunction()

function(add_component_test name)
  if(NOT TALVOR_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS;ENV" ${ARGN})
  # The test's environment is set by the executable itself before main(), so a
  # test run straight from the build folder behaves as under ctest.  Variables
  # already set in the environment win.
  set(env "TALVOR_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "TALVOR_SHARED_DATA=${PROJECT_SOURCE_DIR}/../shared/data")
  if(ARG_QT)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  list(APPEND env ${ARG_ENV})
  set(lines "")
  foreach(kv IN LISTS env)
    string(FIND "${kv}" "=" eq)
    string(SUBSTRING "${kv}" 0 ${eq} key)
    math(EXPR vstart "${eq} + 1")
    string(SUBSTRING "${kv}" ${vstart} -1 value)
    string(APPEND lines "        ::setenv(\"${key}\", \"${value}\", 0);\n")
  endforeach()
  set(envsrc ${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cpp)
  file(CONFIGURE OUTPUT ${envsrc} CONTENT
"// Generated: the environment of test ${name}.\n#include <cstdlib>\nnamespace {\nstruct TestEnvironment {\n    TestEnvironment()\n    {\n${lines}    }\n} testEnvironment;\n}  // namespace\n" @ONLY)
  add_executable(${name} ${ARG_SOURCES} ${envsrc})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  talvor_warnings(${name})
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60)
endfunction()
