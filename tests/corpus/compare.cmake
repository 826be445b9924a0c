# Decodes STREAM with `vexor decode --json` and compares the output with EXPECTED.
get_filename_component(dir ${ACTUAL} DIRECTORY)
file(MAKE_DIRECTORY ${dir})
execute_process(COMMAND ${VEXOR} decode --json ${STREAM}
  OUTPUT_FILE ${ACTUAL} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "vexor decode exited with ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${EXPECTED} ${ACTUAL} RESULT_VARIABLE diff)
if(NOT diff EQUAL 0)
  execute_process(COMMAND diff -u ${EXPECTED} ${ACTUAL})
  message(FATAL_ERROR "decoded output of ${STREAM} differs from ${EXPECTED}")
endif()
