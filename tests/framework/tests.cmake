ovixlog_add_test(startup_options_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/startup_options_test.cpp)
ovixlog_add_test(document_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/document_test.cpp)
ovixlog_add_test(safe_file_writer_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/safe_file_writer_test.cpp)
ovixlog_add_test(headless_user_interface_test
                 SOURCES ${CMAKE_CURRENT_LIST_DIR}/headless_user_interface_test.cpp)
