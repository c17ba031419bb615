# sovikan_test(NAME name SOURCES ... LIBS ... [LABELS ...] [QT])
# One GoogleTest executable registered as one CTest test. It carries the label of
# its folder under tests/ (serial, chart, tools, ...) besides the LABELS given for
# what cuts across folders (threads, faults, soak, standin, stress). QT tests run
# on the offscreen platform so that they never need a display.
function(sovikan_test)
  cmake_parse_arguments(T "QT" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE sovikan_warnings)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} sovikan_test_helpers GTest::gtest GTest::gtest_main GTest::gmock)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REGEX REPLACE "/.*" "" folder "${folder}")
  list(PREPEND T_LABELS ${folder})
  list(REMOVE_DUPLICATES T_LABELS)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
  set(env "")
  if(T_QT)
    list(APPEND env QT_QPA_PLATFORM=offscreen)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()
