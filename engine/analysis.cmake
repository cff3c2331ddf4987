# Spectra and colours, waveform conversion and array routines, and the DTW
# classifier of the engine library: an object library linked into talvor2,
# with its exports in ExportsAnalysis.cpp.
add_library(engine_analysis OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/src/Fourier.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/ColorScale.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/Convert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/ArrayRoutines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/ClassifyDtw.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/SonogramDisplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/ExportsAnalysis.cpp
)
target_include_directories(engine_analysis PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
target_include_directories(engine_analysis PRIVATE ${PROJECT_SOURCE_DIR}/common/include)
target_link_libraries(engine_analysis PUBLIC platform)
set_target_properties(engine_analysis PROPERTIES
  POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
talvor_warnings(engine_analysis)
talvor_exact_float(engine_analysis)
# The classifier's column kernels, one copy per x86-64 level, in a static
# library of hidden symbols that every user of engine_analysis links.
add_library(engine_dtw_kernels STATIC)
set_target_properties(engine_dtw_kernels PROPERTIES POSITION_INDEPENDENT_CODE ON LINKER_LANGUAGE CXX)
target_include_directories(engine_dtw_kernels PRIVATE ${CMAKE_CURRENT_LIST_DIR}/include)
talvor_isa_kernels(engine_dtw_kernels SOURCES ${CMAKE_CURRENT_LIST_DIR}/src/DtwKernels.cpp)
target_link_libraries(engine_analysis PUBLIC engine_dtw_kernels)

# Plain reference implementations for the tests and the benchmarks.
add_library(engine_analysis_reference STATIC ${CMAKE_CURRENT_LIST_DIR}/tests/AnalysisReference.cpp)
target_include_directories(engine_analysis_reference PUBLIC ${CMAKE_CURRENT_LIST_DIR}/tests)
target_link_libraries(engine_analysis_reference PUBLIC engine_analysis)
talvor_warnings(engine_analysis_reference)
talvor_exact_float(engine_analysis_reference)

add_component_test(engine_analysis_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/FourierTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ColorScaleTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ConvertTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ClassifyDtwTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/SonogramDisplayTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ExportsAnalysisTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/FourierSpeechTest.cpp
  DEPS engine_analysis engine_analysis_reference)
# A process of its own: spectra computed before any table-building call.
add_component_test(engine_analysis_first_use_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/FourierFirstUseTest.cpp
  DEPS engine_analysis)
if(TARGET engine_analysis_tests)
  talvor_exact_float(engine_analysis_tests)
  target_include_directories(engine_analysis_tests PRIVATE ${PROJECT_SOURCE_DIR}/common/include)
endif()

# The exports by name: a shared library of these objects alone, opened by
# name as callers of the engine library do.
add_library(engine_analysis_export_probe SHARED)
target_link_libraries(engine_analysis_export_probe PRIVATE engine_analysis)
set_target_properties(engine_analysis_export_probe PROPERTIES CXX_VISIBILITY_PRESET hidden)
add_component_test(engine_analysis_export_names_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/ExportNamesTest.cpp
  DEPS ${CMAKE_DL_LIBS})
if(TARGET engine_analysis_export_names_tests)
  add_dependencies(engine_analysis_export_names_tests engine_analysis_export_probe)
  target_compile_definitions(engine_analysis_export_names_tests PRIVATE
    TALVOR_SPECTRA_PROBE="$<TARGET_FILE:engine_analysis_export_probe>")
endif()
