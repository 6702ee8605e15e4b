# ovixlog-screenshot: renders the main window offscreen with simulated data into a PNG
# (docs/screenshot.png). Needs the window library and the simulator's flight.
if(TARGET ovixlog_gui)
  add_executable(ovixlog-screenshot ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
  target_link_libraries(ovixlog-screenshot PRIVATE ovixlog_gui ovixlog_sim_lib util
                                                   ovixlog_warnings)
endif()
