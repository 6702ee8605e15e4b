ovixlog_add_test(row_formatter_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/row_formatter_test.cpp)
