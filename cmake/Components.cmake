# Helpers shared by every component folder.
#
#   talvor_warnings(target)             warnings (and -Werror with TALVOR_WERROR)
#   talvor_exact_float(target)          32-bit float arithmetic in source order:
#                                       no contraction into fused multiply-adds
#   talvor_isa_kernels(target SOURCES ... [DEPS ...])
#                                       wide kernels compiled once per x86-64
#                                       level, dispatched at run time
#                                       (common/IsaLevel.h)
#   add_component_test(name SOURCES ... DEPS ... [QT])
#                                       a GoogleTest executable registered with ctest;
#                                       QT runs it on the offscreen platform

if(TALVOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# No target fuses a multiply and an add: results must not depend on the
# instruction set a file is compiled for.
add_compile_options(-ffp-contract=off)

function(talvor_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local)
  if(TALVOR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

function(talvor_exact_float target)
  target_compile_options(${target} PRIVATE -ffp-contract=off -fno-fast-math)
endfunction()

# Compiles SOURCES four times into TARGET: for the x86-64 baseline, v2, v3 and
# v4, each copy in namespace TALVOR_ISA_NS (isa_baseline, isa_v2, isa_v3,
# isa_v4) and with that level's -march.  Exact float as everywhere, and no
# errno from the maths library, so square roots stay whole vector instructions
# (the kernels never take the root of a negative number).  DEPS give the
# include folders and definitions the sources need.
function(talvor_isa_kernels target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  foreach(level baseline v2 v3 v4)
    set(lib ${target}_isa_${level})
    add_library(${lib} OBJECT ${ARG_SOURCES})
    target_compile_definitions(${lib} PRIVATE TALVOR_ISA_NS=isa_${level} TALVOR_ISA_LEVEL_${level})
    target_include_directories(${lib} PRIVATE ${PROJECT_SOURCE_DIR}/common/include
                               $<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>)
    if(ARG_DEPS)
      target_link_libraries(${lib} PRIVATE ${ARG_DEPS})
    endif()
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64" AND NOT level STREQUAL "baseline")
      target_compile_options(${lib} PRIVATE -march=x86-64-${level} -mtune=generic)
      if(level STREQUAL "v4")
        target_compile_options(${lib} PRIVATE -mprefer-vector-width=512)
      endif()
    endif()
    target_compile_options(${lib} PRIVATE -fno-math-errno)
    set_target_properties(${lib} PROPERTIES POSITION_INDEPENDENT_CODE ON
                          CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    talvor_warnings(${lib})
    talvor_exact_float(${lib})
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:${lib}>)
  endforeach()
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
