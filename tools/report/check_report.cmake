# Runs clouddisk-report as a user would. Called by ctest with REPORT, EMULATOR (empty on the
# native build) and WORK, a scratch directory.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# Output goes through files, not pipes: under Wine the server process inherits the pipes and
# would hold them open long after the program has ended.
function(run_report expected_code)
  execute_process(COMMAND ${EMULATOR} ${REPORT} ${ARGN} RESULT_VARIABLE code
    OUTPUT_FILE ${WORK}/stdout.txt ERROR_FILE ${WORK}/stderr.txt)
  file(READ ${WORK}/stderr.txt err)
  if(NOT code EQUAL expected_code)
    message(FATAL_ERROR "clouddisk-report ${ARGN}: exit ${code}, expected ${expected_code}\n${err}")
  endif()
  set(report_stderr "${err}" PARENT_SCOPE)
endfunction()

# A short run writes all nine files (and velocity_delay.png where ImageMagick is at hand).
run_report(0 --frames 20 --out ${WORK}/out --seed 812.7)
foreach(name line_profile.csv delay_histogram.csv summary.csv velocity_delay.csv
        velocity_delay_mean.csv line_profile.svg delay_histogram.svg velocity_delay.svg
        velocity_delay_mean.svg)
  if(NOT EXISTS ${WORK}/out/${name})
    message(FATAL_ERROR "missing ${name}")
  endif()
endforeach()
file(STRINGS ${WORK}/out/line_profile.csv profile)
list(LENGTH profile rows)
list(GET profile 0 header)
list(GET profile 3 bin2)
if(NOT rows EQUAL 1002 OR NOT header STREQUAL "bin,velocity_low,brightness"
   OR NOT bin2 MATCHES "^2,-49800,[0-9.e+-]+$")
  message(FATAL_ERROR "line_profile.csv: ${rows} rows, header '${header}', bin 2 '${bin2}'")
endif()
file(STRINGS ${WORK}/out/delay_histogram.csv delays)
list(LENGTH delays rows)
list(GET delays 1 bin0)
if(NOT rows EQUAL 1002 OR NOT bin0 STREQUAL "0,-1,0")
  message(FATAL_ERROR "delay_histogram.csv: ${rows} rows, bin 0 '${bin0}'")
endif()
file(STRINGS ${WORK}/out/summary.csv summary)
list(GET summary 1 values)
# The model gives the same bits on every build, so the same text.
if(NOT values STREQUAL "812.7,20,37938982.8618927,189.69491430946351,0.0718027279,595.442688,2207")
  message(FATAL_ERROR "summary.csv: '${values}'")
endif()
file(GLOB leftovers ${WORK}/out/*.part ${WORK}/out/*.old ${WORK}/out/.clouddisk-report-*)
if(leftovers)
  message(FATAL_ERROR "left behind: ${leftovers}")
endif()

# Seed -1 takes the timer's seconds: the report names that seed, in the summary, in the
# captions and on standard output, and the same seed given again repeats the run.
run_report(0 --frames 3 --out ${WORK}/timed --seed -1)
file(READ ${WORK}/stdout.txt said)
file(STRINGS ${WORK}/timed/summary.csv summary)
list(GET summary 1 values)
string(REPLACE "," ";" fields "${values}")
list(POP_FRONT fields seed)
if(NOT seed MATCHES "^[0-9]+(\\.[0-9]+)?(e[+-][0-9]+)?$" OR seed STREQUAL "-1")
  message(FATAL_ERROR "summary.csv of --seed -1 names the seed '${seed}'")
endif()
if(NOT said STREQUAL "clouddisk-report: seed ${seed} (from the timer)\n")
  message(FATAL_ERROR "--seed -1 printed '${said}', not seed ${seed}")
endif()
file(STRINGS ${WORK}/timed/line_profile.svg captions REGEX "^<text[^>]*>seed ")
if(NOT captions MATCHES ">seed ${seed} \\(from the timer\\), 3 frames</text>$")
  message(FATAL_ERROR "the caption of --seed -1 is '${captions}', not seed ${seed}")
endif()
run_report(0 --frames 3 --out ${WORK}/again --seed ${seed})
file(STRINGS ${WORK}/again/summary.csv summary)
list(GET summary 1 again)
if(NOT again STREQUAL values)
  message(FATAL_ERROR "seed ${seed} again gave '${again}', not '${values}'")
endif()

# Bad arguments: code 2, a message, and nothing written.
file(WRITE ${WORK}/a_file "not a directory")
# One case per entry, its words separated by '|'.
set(cases
  "--seed|abc|--frames|5|--out|${WORK}/bad"
  "--seed|1|--frames|0|--out|${WORK}/bad"
  "--seed|1|--frames|-3|--out|${WORK}/bad"
  "--seed|1|--out|${WORK}/bad|--frames"
  "--seed|1|--frames|5"
  "--seed|1|--frames|5|--out|${WORK}/a_file/sub")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" arguments "${case}")
  run_report(2 ${arguments})
  if(NOT report_stderr MATCHES "usage: clouddisk-report")
    message(FATAL_ERROR "no usage message for ${arguments}: ${report_stderr}")
  endif()
endforeach()
file(GLOB written ${WORK}/bad/* ${WORK}/a_file/*)
if(written)
  message(FATAL_ERROR "bad arguments wrote ${written}")
endif()
