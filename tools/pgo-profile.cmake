# Runs the instrumented engine on the search benchmark, which writes its
# profile files into PROFILES, and deletes quillon's objects so that all of
# them are compiled again with the new profile.
#   cmake -DENGINE=... -DPROFILES=dir -DOBJECTS=dir -DSTAMP=file -P pgo-profile.cmake
file(GLOB stale "${PROFILES}/*.gcda")
if(stale)
  file(REMOVE ${stale})
endif()
execute_process(COMMAND ${ENGINE} bench 9 OUTPUT_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the profiling run of the search benchmark failed: ${result}")
endif()
file(GLOB profiles "${PROFILES}/*.gcda")
if(NOT profiles)
  message(FATAL_ERROR "the profiling run wrote no profile files into ${PROFILES}")
endif()
file(GLOB_RECURSE objects "${OBJECTS}/*.o")
if(objects)
  file(REMOVE ${objects})
endif()
file(TOUCH "${STAMP}")
