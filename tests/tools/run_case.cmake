# tests/tools/run_case.cmake -- runs qxprop one or more times and compares each run's standard output
# and exit status with what the case expects. Run i (1..RUNS) takes:
#   ARGS_i      qxprop's arguments, separated by |
#   INPUT_i     optional file fed to standard input
#   EXPECTED_i  file with the expected standard output; @VERSION@ stands for the project version
#   RC_i        expected exit status
#   STDERR_i    optional regular expression the standard error must match
# SYNC_DIR and REGISTRY_DIR are emptied first, so every case starts without named objects or hives of an
# earlier case; the runs of one case share them, which lets a later run see what an earlier one left behind.
cmake_policy(VERSION 3.25)
if(NOT DEFINED RUNS)
  set(RUNS 1)
endif()
if(DEFINED SYNC_DIR)
  file(REMOVE_RECURSE ${SYNC_DIR})
endif()
if(DEFINED REGISTRY_DIR)
  file(REMOVE_RECURSE ${REGISTRY_DIR})
endif()

foreach(i RANGE 1 ${RUNS})
  string(REPLACE "|" ";" args "${ARGS_${i}}")
  set(input_option)
  if(DEFINED INPUT_${i})
    set(input_option INPUT_FILE ${INPUT_${i}})
  endif()
  execute_process(COMMAND ${QXPROP} ${args} ${input_option}
    OUTPUT_VARIABLE actual ERROR_VARIABLE errors RESULT_VARIABLE rc TIMEOUT 60)
  file(READ ${EXPECTED_${i}} expected)
  string(REPLACE "@VERSION@" "${VERSION}" expected "${expected}")
  set(problems)
  if(NOT actual STREQUAL expected)
    string(APPEND problems "standard output differs\n--- expected\n${expected}--- actual\n${actual}---\n")
  endif()
  if(NOT rc STREQUAL RC_${i})
    string(APPEND problems "exit status ${rc}, expected ${RC_${i}}\n")
  endif()
  if(DEFINED STDERR_${i} AND NOT errors MATCHES "${STDERR_${i}}")
    string(APPEND problems "standard error does not match '${STDERR_${i}}'\n")
  endif()
  if(problems)
    message(FATAL_ERROR "run ${i}: qxprop ${args}\n${problems}standard error:\n${errors}")
  endif()
endforeach()
