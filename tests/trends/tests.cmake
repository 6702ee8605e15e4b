ovixlog_add_test(trends_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/trends_test.cpp)
