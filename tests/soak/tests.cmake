# The soak driver for scripts/soak: the real window, offscreen, on a live port for hours.
if(TARGET ovixlog_gui)
  add_executable(ovixlog-soak ${CMAKE_CURRENT_LIST_DIR}/ovixlog_soak.cpp)
  target_link_libraries(ovixlog-soak PRIVATE ovixlog_gui ovixlog_warnings)
endif()
