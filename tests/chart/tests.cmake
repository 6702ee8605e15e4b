ovixlog_add_test(chart_series_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_series_test.cpp)
ovixlog_add_test(series_raster_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/series_raster_test.cpp)
