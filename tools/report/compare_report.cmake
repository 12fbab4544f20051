# Runs clouddisk-report of this build and of another build (REFERENCE, run directly) on the
# same seed and frames; their CSV files must be the same bytes. Called by ctest with REPORT,
# EMULATOR (empty when this build's programs run directly), REFERENCE and WORK.
file(REMOVE_RECURSE ${WORK})
foreach(side reference this)
  if(side STREQUAL "reference")
    set(command ${REFERENCE})
  else()
    set(command ${EMULATOR} ${REPORT})
  endif()
  execute_process(COMMAND ${command} --seed 812.7 --frames 1000 --out ${WORK}/${side}
    RESULT_VARIABLE code OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${command}: exit ${code}\n${err}")
  endif()
endforeach()
set(differing)
foreach(name line_profile.csv delay_histogram.csv summary.csv velocity_delay.csv
        velocity_delay_mean.csv)
  file(SHA256 ${WORK}/reference/${name} expected)
  file(SHA256 ${WORK}/this/${name} got)
  if(NOT got STREQUAL expected)
    list(APPEND differing ${name})
  endif()
endforeach()
if(differing)
  message(FATAL_ERROR "differ from ${REFERENCE}'s: ${differing}")
endif()
message("the five CSV files equal those of ${REFERENCE}")
