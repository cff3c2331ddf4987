# The analyser's word displays.
#
#   analyser_displays     the scenes of the wave, frame, spectrum, 3-D and
#                         parameter panes and the display choosers' state; no
#                         Qt Widgets (the stored-word browsing is the
#                         analyser's own, analyser_core)
#   analyser_displays_ui  the panes and the chooser dialogs that paint and edit them

add_library(analyser_displays STATIC
  ${CMAKE_CURRENT_LIST_DIR}/src/displays/DisplayChoosers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/displays/WordDisplays.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/displays/Mesh3D.cpp
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
      ${CMAKE_CURRENT_LIST_DIR}/tests/displays/Mesh3DTest.cpp
    DEPS analyser_displays talvor_testing)
  if(TARGET analyser_displays_tests)
    talvor_exact_float(analyser_displays_tests)
  endif()
endif()

if(TARGET platform)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  add_library(analyser_displays_ui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/src/displays/WordDisplayPanes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/displays/DisplayChooserDialogs.cpp
  )
  target_link_libraries(analyser_displays_ui PUBLIC analyser_displays platform Qt6::Widgets)
  set_target_properties(analyser_displays_ui PROPERTIES AUTOMOC OFF)
  talvor_warnings(analyser_displays_ui)

  if(TALVOR_TESTS)
    add_component_test(analyser_displays_ui_tests
      SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/displays/WordDisplayPanesTest.cpp
              ${CMAKE_CURRENT_LIST_DIR}/tests/displays/DisplayChooserDialogsTest.cpp
      DEPS analyser_displays_ui engine_core platform_test_main talvor_testing QT)
    if(TARGET analyser_displays_ui_tests)
      target_include_directories(analyser_displays_ui_tests PRIVATE ${PROJECT_SOURCE_DIR}/engine/tests)
    endif()
    # Renders the panes with a stored word and a recorded token into PNGs.
    add_executable(analyser_displays_render ${CMAKE_CURRENT_LIST_DIR}/tests/displays/RenderDisplays.cpp)
    target_link_libraries(analyser_displays_render PRIVATE analyser_displays_ui analyser_core engine_core talvor_testing)
    target_include_directories(analyser_displays_render PRIVATE ${PROJECT_SOURCE_DIR}/engine/tests
                                                                ${CMAKE_CURRENT_LIST_DIR}/tests)
    talvor_warnings(analyser_displays_render)
  endif()
endif()

# The analyser window with its word displays, rendered into PNGs (the window's
# target comes from window.cmake).
if(TARGET platform AND TALVOR_TESTS)
  add_executable(analyser_window_render ${CMAKE_CURRENT_LIST_DIR}/tests/displays/RenderWindowDisplays.cpp)
  target_link_libraries(analyser_window_render PRIVATE analyser_ui engine_core)
  target_include_directories(analyser_window_render PRIVATE ${PROJECT_SOURCE_DIR}/engine/tests
                                                             ${CMAKE_CURRENT_LIST_DIR}/tests/displays)
  talvor_warnings(analyser_window_render)

  add_component_test(analyser_window_displays_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/displays/WindowDisplaysTest.cpp
    DEPS analyser_ui engine_core platform_test_main talvor_testing QT)
  if(TARGET analyser_window_displays_tests)
    target_include_directories(analyser_window_displays_tests PRIVATE ${PROJECT_SOURCE_DIR}/engine/tests)
  endif()
endif()
