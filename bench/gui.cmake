# bench_gui: the window's benchmarks (paint cost against the number of samples, a day's import
# with the view attached), a separate executable because it needs Qt Widgets.
if(TARGET ovixlog_gui)
  add_executable(bench_gui ${CMAKE_CURRENT_LIST_DIR}/gui_window.cpp)
  target_link_libraries(bench_gui PRIVATE ovixlog_gui ovixlog_sim_lib benchmark::benchmark
                                        ovixlog_warnings)
endif()

# The Trends view's charts repainted over ten thousand flights.
if(TARGET ovixlog_gui)
  add_executable(bench_trend_chart ${CMAKE_CURRENT_LIST_DIR}/trend_chart_bench.cpp)
  target_link_libraries(bench_trend_chart PRIVATE ovixlog_gui ovixlog_warnings)
endif()
