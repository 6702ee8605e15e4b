ovixlog_add_test(frame_decoder_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_decoder_test.cpp)
ovixlog_add_test(frame_assembler_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_assembler_test.cpp)
ovixlog_add_test(serial_reader_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/serial_reader_test.cpp
                 LABELS threads)
target_link_libraries(serial_reader_test PRIVATE util)
ovixlog_add_test(layout_detector_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/layout_detector_test.cpp)
ovixlog_add_test(serial_devices_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/serial_devices_test.cpp)
ovixlog_add_test(content_hint_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/content_hint_test.cpp)
target_link_libraries(content_hint_test PRIVATE ovixlog_sim_lib)
