# ovixlog-sim: the monitor simulator. The library holds the flight, the stream and the file
# writers so that the tests can check them; the executable adds the terminal and the signals.
add_library(ovixlog_sim_lib STATIC
  ${CMAKE_CURRENT_LIST_DIR}/flight_generator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recording_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scenario.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim_options.cpp)
target_include_directories(ovixlog_sim_lib PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(ovixlog_sim_lib PUBLIC ovixlog_core PRIVATE ovixlog_warnings)

add_executable(ovixlog-sim ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(ovixlog-sim PRIVATE ovixlog_sim_lib util ovixlog_warnings)
