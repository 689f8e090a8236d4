# cmake -DGZIP=gzip -DIN=file -DOUT=file.gz -P gzip.cmake
# Compresses IN into OUT with gzip -9n (best, no name or time stamp inside).
execute_process(COMMAND ${GZIP} -9nc ${IN} OUTPUT_FILE ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip ${IN}: ${result}")
endif()
