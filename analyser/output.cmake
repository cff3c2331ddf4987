# The run-time result output: a recognised word leaves the analyser as a
# result file or a posted window message.
#
#   analyser_output           the output rules (no Qt, no analyser window):
#                             settings and program folder from the module
#                             state, windows and messages through an
#                             injected services object
#   analyser_output_platform  those services over the platform layer

add_library(analyser_output STATIC ${CMAKE_CURRENT_LIST_DIR}/src/output/RunTimeOutput.cpp)
target_include_directories(analyser_output PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(analyser_output PUBLIC common)
set_target_properties(analyser_output PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
talvor_warnings(analyser_output)

add_library(analyser_output_platform STATIC ${CMAKE_CURRENT_LIST_DIR}/src/output/PlatformRunTimeOutput.cpp)
target_link_libraries(analyser_output_platform PUBLIC analyser_output platform)
set_target_properties(analyser_output_platform PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
talvor_warnings(analyser_output_platform)

add_component_test(analyser_output_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/output/RunTimeOutputTest.cpp
  DEPS analyser_output talvor_testing)
add_component_test(analyser_output_platform_tests QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/output/PlatformRunTimeOutputTest.cpp
  DEPS analyser_output_platform platform_test_main talvor_testing)
if(TARGET analyser_output_platform_tests)
  target_compile_definitions(analyser_output_platform_tests PRIVATE TALVOR_TEST_PEER="$<TARGET_FILE:platform_test_peer>")
  add_dependencies(analyser_output_platform_tests platform_test_peer)
endif()

# The output as the analyser's recording cycle drives it (analyser_core comes
# from window.cmake).
if(TALVOR_TESTS AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/window.cmake)
  add_component_test(analyser_output_wiring_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/output/ProfilerOutputTest.cpp
    DEPS analyser_core analyser_output talvor_testing)
endif()
