# HTTP servers on 127.0.0.1 for Windows test programs: the fault server on
# Winsock, and the Linux nginx, which Wine starts for them. Included by each
# folder whose tests use them.
include_guard(GLOBAL)
set(qel_support_dir ${CMAKE_CURRENT_LIST_DIR}/..)
add_library(qelhttpservers STATIC
  ${qel_support_dir}/FaultServer.cc
  ${qel_support_dir}/LoopbackPort.cc
  ${qel_support_dir}/NginxServer.cc
  ${CMAKE_CURRENT_LIST_DIR}/LoopbackSocket.cc
  ${CMAKE_CURRENT_LIST_DIR}/NginxHost.cc)
target_include_directories(qelhttpservers PUBLIC ${qel_support_dir})
target_link_libraries(qelhttpservers PUBLIC Threads::Threads ws2_32)
