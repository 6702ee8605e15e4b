ovixlog_add_test(recording_writer_test
                 SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_writer_test.cpp LABELS threads)
ovixlog_add_test(recording_catalog_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_catalog_test.cpp)
ovixlog_add_test(live_recording_test
                 SOURCES ${CMAKE_CURRENT_LIST_DIR}/live_recording_test.cpp LABELS threads)
