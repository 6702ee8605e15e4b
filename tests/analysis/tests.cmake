ovixlog_add_test(analysis_test SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/fifo_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/finding_detector_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/flight_analyzer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lean_test_curves_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/limits_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_detector_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sweep_tracker_test.cpp)
ovixlog_add_test(run_card_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/run_card_test.cpp)
