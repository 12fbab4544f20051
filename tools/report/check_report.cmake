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

# Checks that a table has that many lines and that line index (from 0) matches pattern.
function(expect_line table lines index pattern)
  file(STRINGS ${table} content)
  list(LENGTH content count)
  list(GET content ${index} line)
  if(NOT count EQUAL lines OR NOT line MATCHES "${pattern}")
    message(FATAL_ERROR "${table}: ${count} lines, line ${index} '${line}'")
  endif()
endfunction()

# A short run writes all ten files (and velocity_delay.png where ImageMagick is at hand).
run_report(0 --frames 20 --out ${WORK}/out --seed 812.7)
foreach(name line_profile.csv delay_histogram.csv summary.csv parameters.csv velocity_delay.csv
        velocity_delay_mean.csv line_profile.svg delay_histogram.svg velocity_delay.svg
        velocity_delay_mean.svg)
  if(NOT EXISTS ${WORK}/out/${name})
    message(FATAL_ERROR "missing ${name}")
  endif()
endforeach()
expect_line(${WORK}/out/line_profile.csv 1002 0 "^bin,velocity_low,brightness$")
expect_line(${WORK}/out/line_profile.csv 1002 3 "^2,-49800,[0-9.e+-]+$")
expect_line(${WORK}/out/delay_histogram.csv 1002 1 "^0,-1,0$")
expect_line(${WORK}/out/parameters.csv 17 1 "^inclination,89,89$")
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

# A sweep: a report per value in its folder and the three files beside them, the same bytes
# whether the runs go one at a time or two at once (the pictures aside: they carry the time
# they were made). The folders' names have a blank and a quote, which the runs' command lines
# must carry.
foreach(jobs 1 2)
  run_report(0 --seed 812.7 --frames 12 --out "${WORK}/sweep ${jobs}'s" --jobs ${jobs}
             --outer-radius 250 --sweep inclination=20,89)
endforeach()
file(GLOB_RECURSE swept RELATIVE "${WORK}/sweep 1's" "${WORK}/sweep 1's/*")
file(GLOB_RECURSE swept_again RELATIVE "${WORK}/sweep 2's" "${WORK}/sweep 2's/*")
list(LENGTH swept count)
if(NOT swept STREQUAL swept_again OR NOT count GREATER_EQUAL 23)
  message(FATAL_ERROR "the sweeps wrote ${swept}, and ${swept_again}")
endif()
foreach(name IN LISTS swept)
  if(name MATCHES "\\.png$")
    continue()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/sweep 1's/${name}"
    "${WORK}/sweep 2's/${name}" RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "${name} differs between one run at a time and two at once")
  endif()
endforeach()
file(STRINGS "${WORK}/sweep 1's/sweep_summary.csv" summary)
list(GET summary 0 header)
list(GET summary 2 row89)
if(NOT header STREQUAL "inclination,mean_delay,negative_peak_velocity,positive_peak_velocity,fwhm,delay_histogram_peak,delay_histogram_peak_count"
   OR NOT row89 MATCHES "^89,")
  message(FATAL_ERROR "sweep_summary.csv: ${summary}")
endif()
file(STRINGS "${WORK}/sweep 1's/inclination=89/parameters.csv" parameters
  REGEX "^(inclination|outer-radius),")
if(NOT parameters STREQUAL "inclination,89,89;outer-radius,250,300")
  message(FATAL_ERROR "the run of inclination 89 has the parameters ${parameters}")
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
  "--seed|1|--frames|5|--out|${WORK}/a_file/sub"
  "--seed|1|--frames|5|--out|${WORK}/bad|--inclination|95"
  "--seed|1|--frames|5|--out|${WORK}/bad|--inner-radius|300"
  "--seed|1|--frames|5|--out|${WORK}/bad|--sweep|inclination=20,nan")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" arguments "${case}")
  run_report(2 ${arguments})
  if(NOT report_stderr MATCHES "^clouddisk-report: [^\n]+\nusage: clouddisk-report")
    message(FATAL_ERROR "no usage message for ${arguments}: ${report_stderr}")
  endif()
endforeach()
file(GLOB written ${WORK}/bad/* ${WORK}/a_file/*)
if(written)
  message(FATAL_ERROR "bad arguments wrote ${written}")
endif()
