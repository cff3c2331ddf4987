# The analyser's word displays.
#
#   analyser_displays     the scenes of the wave, frame, spectrum, 3-D and
#                         parameter panes, the display choosers' state and the
#                         stored-word browsing; no Qt Widgets
#   analyser_displays_ui  the panes and the chooser dialogs that paint and edit them

add_library(analyser_displays STATIC
  ${CMAKE_CURRENT_LIST_DIR}/src/displays/DisplayChoosers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/displays/WordDisplays.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/displays/StoredWordBrowser.cpp
)
target_include_directories(analyser_displays PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(analyser_displays PUBLIC talvor2 platform worddata_core common)
talvor_warnings(analyser_displays)
talvor_exact_float(analyser_displays)

if(TALVOR_TESTS)
  add_component_test(analyser_displays_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/tests/displays/DisplayChoosersTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/tests/displays/WordDisplaysTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/tests/displays/StoredWordBrowserTest.cpp
    DEPS analyser_displays talvor_testing)
  if(TARGET analyser_displays_tests)
    talvor_exact_float(analyser_displays_tests)
  endif()
endif()
