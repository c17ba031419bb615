# Serial component: CPU use of an open idle port, and receive latency (Linux pty).
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  add_executable(serial_bench ${CMAKE_CURRENT_LIST_DIR}/serial_bench.cpp)
  target_link_libraries(serial_bench PRIVATE sovikan_warnings)
  target_link_libraries(serial_bench PRIVATE sovikan_device util)
endif()
