# Runs PROGRAM with ARGS (a space-separated text) and succeeds only when it
# fails and its output holds EXPECT: a finding must fail the run that made it.
separate_arguments(args UNIX_COMMAND "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
string(FIND "${out}" "${EXPECT}" at)
if(rc STREQUAL "0")
  message(FATAL_ERROR "the run ended with status 0:\n${out}")
elseif(at EQUAL -1)
  message(FATAL_ERROR "the run failed (${rc}) without \"${EXPECT}\" in its output:\n${out}")
endif()
message(STATUS "failed as expected (${rc})")
