# Creates what is missing of the demo set-up: the two settings files and the data disk.
# Existing files are the user's and stay as they are.
foreach(name Tarquil1.ini Tarquil2.ini)
  if(NOT EXISTS ${TARGET_DIR}/${name})
    file(COPY_FILE ${DEFAULTS}/${name}.default ${TARGET_DIR}/${name})
  endif()
endforeach()
if(NOT EXISTS ${DATA_DISK})
  execute_process(COMMAND ${TOOL} new ${DATA_DISK} 64k RESULT_VARIABLE result OUTPUT_QUIET)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot create ${DATA_DISK}")
  endif()
endif()
