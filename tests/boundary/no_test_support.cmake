# Fails when the shipped host library exports any symbol of the test support (the seeding API,
# the fake file systems, the helpers of the tests). Run as cmake -DLIBRARY=... -P this-file.
execute_process(COMMAND nm -DC --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm could not read ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]*(host::seed::|test_support::|host::testing::|MemoryFileSystem|FaultInjectingFileSystem)[^\n]*"
       leaks "${symbols}")
if(leaks)
  string(REPLACE ";" "\n" leaks "${leaks}")
  message(FATAL_ERROR "the host library exports test support:\n${leaks}")
endif()
