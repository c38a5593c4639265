# Runs one libFuzzer program for SECONDS from a fresh working corpus seeded
# with SEEDS; fails on any finding (crash, leak, sanitizer report, timeout).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus)
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
          -artifact_prefix=${WORK}/ -print_final_stats=1 ${WORK}/corpus ${SEEDS}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzzer ${FUZZER} reported a finding (exit ${rc}); see ${WORK}")
endif()
