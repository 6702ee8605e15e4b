ovixlog_add_test(trend_summary_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/trend_summary_test.cpp)
ovixlog_add_test(series_raster_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/series_raster_test.cpp)
