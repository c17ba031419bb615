# The whole reply processing of the main window, offscreen.
if(SOVIKAN_GUI AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  add_executable(bench_process_reply ${CMAKE_CURRENT_LIST_DIR}/process_reply.cpp)
  target_link_libraries(bench_process_reply PRIVATE sovikan_warnings)
  target_link_libraries(bench_process_reply PRIVATE sovikan_app util sovikan_test_helpers)
endif()
