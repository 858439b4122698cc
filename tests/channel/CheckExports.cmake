# Fails unless the library exports exactly the functions its header declares.
#   cmake -DNM=<nm> -DLIBRARY=<libqelchannel.so> -DHEADER=<qelchannel.h> -P CheckExports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(exported "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND exported ${name})
endforeach()

file(READ ${HEADER} header)
string(REGEX MATCHALL "qelchannel_[a-z_]+\\(" calls "${header}")
set(declared "")
foreach(call IN LISTS calls)
  string(REPLACE "(" "" name "${call}")
  list(APPEND declared ${name})
endforeach()

list(SORT exported)
list(REMOVE_DUPLICATES declared)
list(SORT declared)
if(NOT exported STREQUAL declared)
  message(FATAL_ERROR "exported: ${exported}\ndeclared: ${declared}")
endif()
