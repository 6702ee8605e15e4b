ovixlog_add_test(trend_summary_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/trend_summary_test.cpp)
