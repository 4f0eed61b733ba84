# Builds each check target and fails unless every one fails to compile because
# its upward header is not found.
foreach(check ${CHECKS})
  string(REPLACE "=" ";" fields ${check})
  list(GET fields 0 target)
  list(GET fields 1 header)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR} --target ${target}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(status EQUAL 0)
    message(FATAL_ERROR "${target}: including ${header} compiled; the layer can see above itself")
  endif()
  string(FIND "${out}${err}" "${header}: No such file or directory" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "${target} failed for another reason than the missing ${header}:\n${out}${err}")
  endif()
  message(STATUS "${target}: ${header} is out of reach, as it should be")
endforeach()
