ovixlog_add_test(log_reader_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_reader_test.cpp)
