# Fails unless the library exports each name below as a defined function.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
foreach(name InitSoundCard OpenSoundCardIn CloseSoundCardIn OpenSoundCardOut CloseSoundCardOut
             TokenProces StopTokenProces ContinueTokenProces ReleaseSoundCardIn GetTokenParam ChangeTokenMaxFrames Recompute
             GetTokenDiscard)
  if(NOT symbols MATCHES " T ${name}\n")
    message(FATAL_ERROR "${LIBRARY} does not export ${name}")
  endif()
endforeach()
# Nothing of the C++ code inside leaks out.
if(symbols MATCHES "_ZN6talvor")
  message(FATAL_ERROR "${LIBRARY} exports C++ symbols of the project")
endif()
