ovixlog_add_test(ovixlog_doc_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ovixlog_doc_test.cpp LABELS threads)
ovixlog_add_test(import_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/import_test.cpp)
ovixlog_add_test(saving_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/saving_test.cpp)
