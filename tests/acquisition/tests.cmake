ovixlog_add_test(frame_decoder_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_decoder_test.cpp)
ovixlog_add_test(frame_assembler_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_assembler_test.cpp)
