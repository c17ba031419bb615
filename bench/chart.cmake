# Chart painting speed against a plain QPainter polyline.
if(SOVIKAN_GUI)
  add_executable(bench_chart_paint ${CMAKE_CURRENT_LIST_DIR}/chart_paint.cpp)
  target_link_libraries(bench_chart_paint PRIVATE sovikan_warnings)
  target_link_libraries(bench_chart_paint PRIVATE sovikan_chart_qt sovikan_display sovikan_test_helpers)
endif()
