ovixlog_add_test(analysis_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/run_detector_test.cpp)
