# Runs one libFuzzer program for SECONDS from a fresh working corpus seeded
# with SEEDS; fails on any finding (crash, leak, sanitizer report, timeout)
# and when the program leaves anything behind in its temporary folder.
# OPTIONS names a file of further libFuzzer flags ('#' lines are comments);
# it may be missing.
set(flags)
if(EXISTS "${OPTIONS}")
  file(STRINGS "${OPTIONS}" lines REGEX "^[^#]")
  foreach(line ${lines})
    separate_arguments(words UNIX_COMMAND "${line}")
    list(APPEND flags ${words})
  endforeach()
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/tmp)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${WORK}/tmp
          ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
          -artifact_prefix=${WORK}/ -print_final_stats=1 ${flags} ${WORK}/corpus ${SEEDS}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzzer ${FUZZER} reported a finding (exit ${rc}); see ${WORK}")
endif()
file(GLOB leftovers ${WORK}/tmp/*)
if(leftovers)
  message(FATAL_ERROR "fuzzer ${FUZZER} left files behind: ${leftovers}")
endif()
