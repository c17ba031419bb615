# Download of the meter's 40 stored records from the stand-in on a pty (Linux).
if(TARGET sovikan-meter)
  add_executable(bench_download ${CMAKE_CURRENT_LIST_DIR}/download_bench.cpp)
  target_link_libraries(bench_download PRIVATE sovikan_warnings)
  target_link_libraries(bench_download PRIVATE sovikan_protocol)
  target_compile_definitions(bench_download PRIVATE SOVIKAN_METER_BINARY="$<TARGET_FILE:sovikan-meter>")
  add_dependencies(bench_download sovikan-meter)
endif()
