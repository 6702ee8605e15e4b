# The window: the Qt Widgets library (log view, main window, start-up) and the thin executable.
# Only these targets run moc and rcc; the core never sees a Qt GUI header.
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport Svg)
find_package(X11)

add_library(ovixlog_gui STATIC
  view/chart_cursor.cpp view/chart_cursor.h
  view/chart_gestures.cpp view/chart_gestures.h
  view/chart_view.cpp view/chart_view.h
  view/document_signals.cpp view/document_signals.h
  view/flight_chart_marks.cpp view/flight_chart_marks.h
  view/finding_style.cpp view/finding_style.h
  view/flight_report.cpp view/flight_report.h
  view/flights_panel.cpp view/flights_panel.h
  view/lean_test_view.cpp view/lean_test_view.h
  view/library_view.cpp view/library_view.h
  view/ovixlog_view.cpp view/ovixlog_view.h
  view/plot_painter.cpp view/plot_painter.h
  view/series_look.cpp view/series_look.h
  view/time_axis.cpp view/time_axis.h
  view/trend_chart_model.cpp view/trend_chart_model.h
  view/trend_chart_painter.cpp view/trend_chart_painter.h
  view/trend_charts_widget.cpp view/trend_charts_widget.h
  view/trends_view.cpp view/trends_view.h
  view/zoom_stack.cpp view/zoom_stack.h
  app/about_dialog.cpp app/about_dialog.h
  app/command_ids.cpp app/command_ids.h
  app/connect_monitor_dialog.cpp app/connect_monitor_dialog.h
  app/flights_controller.cpp app/flights_controller.h
  app/keyboard_locks.cpp app/keyboard_locks.h
  app/kept_settings.cpp app/kept_settings.h
  app/library_controller.cpp app/library_controller.h
  app/limits_dialog.cpp app/limits_dialog.h
  app/main_frame.cpp app/main_frame.h
  app/menu_controller.cpp app/menu_controller.h
  app/offer_controller.cpp app/offer_controller.h
  app/report_controller.cpp app/report_controller.h
  app/ovixlog_app.cpp app/ovixlog_app.h
  app/qt_user_interface.cpp app/qt_user_interface.h
  app/serial_port_dialog.cpp app/serial_port_dialog.h
  app/state_banner.cpp app/state_banner.h
  app/status_controller.cpp app/status_controller.h
  app/status_offer.cpp app/status_offer.h
  app/termination_signals.cpp app/termination_signals.h
  app/trends_controller.cpp app/trends_controller.h
  ${PROJECT_SOURCE_DIR}/res/ovixlog.qrc)
set_target_properties(ovixlog_gui PROPERTIES AUTOMOC ON AUTORCC ON)
target_include_directories(ovixlog_gui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ovixlog_gui PUBLIC ovixlog_core Qt6::Widgets PRIVATE Qt6::PrintSupport
                                          Qt6::Svg ovixlog_warnings)
# The keyboard lock panes ask the X server; without Xlib they stay disabled.
if(X11_FOUND AND X11_Xkb_FOUND)
  target_compile_definitions(ovixlog_gui PRIVATE OVIXLOG_HAVE_XKB=1)
  target_link_libraries(ovixlog_gui PRIVATE X11::X11)
endif()

add_executable(ovixlog ${CMAKE_CURRENT_SOURCE_DIR}/app/main.cpp)
target_link_libraries(ovixlog PRIVATE ovixlog_gui ovixlog_warnings)
