# Spectra and colours, waveform conversion and array routines, and the DTW
# classifier of the engine library: an object library linked into talvor2,
# with its exports in ExportsSpectra.cpp.
add_library(engine_spectra OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/src/Spectra.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/ColorScale.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/Convert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/ArrayRoutines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/ClassifyDtw.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/SpectrumDisplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/ExportsSpectra.cpp
)
target_include_directories(engine_spectra PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_link_libraries(engine_spectra PUBLIC platform)
set_target_properties(engine_spectra PROPERTIES
  POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
talvor_warnings(engine_spectra)
talvor_exact_float(engine_spectra)

# Plain reference implementations for the tests and the benchmarks.
add_library(engine_spectra_reference STATIC ${CMAKE_CURRENT_LIST_DIR}/tests/SpectraReference.cpp)
target_include_directories(engine_spectra_reference PUBLIC ${CMAKE_CURRENT_LIST_DIR}/tests)
target_link_libraries(engine_spectra_reference PUBLIC engine_spectra)
talvor_warnings(engine_spectra_reference)
talvor_exact_float(engine_spectra_reference)

add_component_test(engine_spectra_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/SpectraTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ColorScaleTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ConvertTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ClassifyDtwTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/SpectrumDisplayTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ExportsSpectraTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/SpectraSpeechTest.cpp
  DEPS engine_spectra engine_spectra_reference)
# A process of its own: spectra computed before any table-building call.
add_component_test(engine_spectra_first_use_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/SpectraFirstUseTest.cpp
  DEPS engine_spectra)
if(TARGET engine_spectra_tests)
  talvor_exact_float(engine_spectra_tests)
endif()

# The exports by name: a shared library of these objects alone, opened by
# name as callers of the engine library do.
add_library(engine_spectra_export_probe SHARED)
target_link_libraries(engine_spectra_export_probe PRIVATE engine_spectra)
set_target_properties(engine_spectra_export_probe PROPERTIES CXX_VISIBILITY_PRESET hidden)
add_component_test(engine_spectra_export_names_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/ExportNamesTest.cpp
  DEPS ${CMAKE_DL_LIBS})
if(TARGET engine_spectra_export_names_tests)
  add_dependencies(engine_spectra_export_names_tests engine_spectra_export_probe)
  target_compile_definitions(engine_spectra_export_names_tests PRIVATE
    TALVOR_SPECTRA_PROBE="$<TARGET_FILE:engine_spectra_export_probe>")
endif()
