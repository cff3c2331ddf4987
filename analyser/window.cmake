# The analyser window's logic and the window itself.
#
#   analyser_core  frmProfile's logic without widgets: state, per-mode set-up,
#                  the recording cycle, token files, the external recogniser's
#                  window protocol, storing and saving words (links common,
#                  worddata_core and the engine library's exports)
#   analyser_ui    the frmProfile window (Qt), the uscWavescope control and
#                  the render tool
add_library(analyser_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/src/Profiler.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/RunTimeOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/LibraryEngine.cpp
)
target_include_directories(analyser_core PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(analyser_core PUBLIC common worddata_core analyser_output PRIVATE talvor2)
set_target_properties(analyser_core PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
talvor_warnings(analyser_core)

if(TARGET platform)
  add_library(analyser_ui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/src/ProfilerWindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/UscWavescope.cpp
  )
  target_include_directories(analyser_ui PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include PRIVATE ${CMAKE_CURRENT_LIST_DIR}/src)
  target_link_libraries(analyser_ui PUBLIC analyser_core analyser_displays_ui analyser_output_platform platform worddata_ui)
  set_target_properties(analyser_ui PROPERTIES AUTOMOC OFF)
  talvor_warnings(analyser_ui)
endif()

if(TALVOR_TESTS)
  add_component_test(analyser_core_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/ProfilerTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/tests/BrowsingTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/tests/ProfilerFakes.h
            ${CMAKE_CURRENT_LIST_DIR}/tests/DisplaysView.h
    DEPS analyser_core analyser_displays talvor_testing)
  if(TARGET analyser_ui)
    add_component_test(analyser_ui_tests
      SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/WavescopeTest.cpp
      DEPS analyser_ui platform_test_main talvor_testing QT)
    target_compile_definitions(analyser_ui_tests PRIVATE
      FAKE_STATWALK2="$<TARGET_FILE:statwalk2>")
    add_dependencies(analyser_ui_tests statwalk2)
    add_executable(analyser_render ${CMAKE_CURRENT_LIST_DIR}/tests/RenderProfiler.cpp)
    target_link_libraries(analyser_render PRIVATE analyser_ui talvor_testing)
    talvor_warnings(analyser_render)
  endif()
endif()
