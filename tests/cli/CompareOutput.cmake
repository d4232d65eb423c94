# Runs corvane-cli's reading commands on the committed streams and compares everything they print
# on stdout, with their exit statuses, to a stored transcript: every build, the Windows ones under
# wine included, must print the same bytes. Variables: CLI (the program), EMULATOR (what runs it,
# may be empty), EXPECTED (the transcript), ACTUAL (where the run's transcript is written), TOP
# (the source tree), UPDATE (when true, the run's transcript replaces the stored one).
set(files
  samples/sample.ac3
  tests/data/ac3_32k_mono.ac3
  tests/data/ac3_44k_stereo.ac3
  tests/data/ac3_48k_51.ac3
  tests/data/eac3_51_48k_meta.eac3
  tests/data/eac3_crosscheck.ac3
  tests/data/eac3_mono_32k.eac3
  tests/data/eac3_stereo_44k.eac3
  tests/data/eac3_stereo_48k.eac3
  tests/viewer/data/ac3_48k_51_448k.ac3
  tests/viewer/data/eac3_44k_stereo.eac3)
set(commands "detect" "list" "list --rows 7 --from 5000" "list --all" "tree @ 0" "check" "check --json" "list --json --rows 2")

set(transcript "")
foreach(file IN LISTS files)
  get_filename_component(folder "${TOP}/${file}" DIRECTORY)
  get_filename_component(name "${file}" NAME)
  foreach(command IN LISTS commands)
    # The file is named relative to its folder, so the output names it the same way everywhere.
    string(REPLACE " " ";" args "${command}")
    list(FIND args "@" at)
    if(at EQUAL -1)
      list(APPEND args "${name}")
    else()
      list(REMOVE_AT args ${at})
      list(INSERT args ${at} "${name}")
    endif()
    execute_process(COMMAND ${EMULATOR} "${CLI}" ${args} WORKING_DIRECTORY "${folder}"
                    OUTPUT_VARIABLE out RESULT_VARIABLE status ERROR_QUIET)
    string(REPLACE "\r\n" "\n" out "${out}")
    list(JOIN args " " shown)
    string(APPEND transcript "$ corvane-cli ${shown}\n${out}[exit ${status}]\n")
  endforeach()
endforeach()

file(WRITE "${ACTUAL}" "${transcript}")
if(UPDATE)
  file(WRITE "${EXPECTED}" "${transcript}")
  message(STATUS "Wrote ${EXPECTED}")
  return()
endif()
file(READ "${EXPECTED}" expected)
if(NOT transcript STREQUAL expected)
  message(FATAL_ERROR "corvane-cli printed other bytes than ${EXPECTED}: compare with ${ACTUAL} "
                      "(cmake -DUPDATE=ON ... rewrites the expectation after a change that is meant)")
endif()
