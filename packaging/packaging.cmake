# What `cmake --install` puts in place (the programs, the menu entry, the icons, the AppStream
# metainfo and the man pages) and the Debian package that scripts/package builds from it.
# The window's files are installed only when the window is built; ovixlog-convert's install
# rule lives with the tool.
include(GNUInstallDirs)

set(OVIXLOG_APPSTREAM_ID "org.ovixlog.ovixlog")
# The release date that `ovixlog --version` and the About box print.
set(OVIXLOG_RELEASE_DATE "2015-03-09")
set(OVIXLOG_PACKAGE_MAINTAINER "The OvixLog developers <ovixlog@example.org>" CACHE STRING
    "The Maintainer field of the Debian package")

set(OVIXLOG_PACKAGING_SOURCE ${CMAKE_CURRENT_LIST_DIR})
set(OVIXLOG_PACKAGING_BINARY ${CMAKE_BINARY_DIR}/packaging)

foreach(program ovixlog ovixlog-sim ovixlog-record ovixlog-library)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# The recorder's service and udev rule are shipped, not enabled: the unit lies where systemd
# finds it once asked, the rule is an example to copy and edit.
if(TARGET ovixlog-record)
  install(FILES ${OVIXLOG_PACKAGING_SOURCE}/systemd/ovixlog-record@.service
          DESTINATION lib/systemd/system)
  install(FILES ${OVIXLOG_PACKAGING_SOURCE}/systemd/90-ovixlog-record.rules.example
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/ovixlog/examples)
endif()

# Man pages: the version and date are filled in, then each page is gzipped as Debian wants.
find_program(OVIXLOG_GZIP gzip REQUIRED)
set(OVIXLOG_MAN_PAGES)
foreach(program ovixlog ovixlog-convert ovixlog-sim ovixlog-record ovixlog-library)
  if(NOT TARGET ${program})
    continue()
  endif()
  set(page ${OVIXLOG_PACKAGING_BINARY}/man/${program}.1)
  configure_file(${OVIXLOG_PACKAGING_SOURCE}/man/${program}.1.in ${page} @ONLY)
  # -n leaves the name and time out of the header, so the same page gives the same bytes.
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${OVIXLOG_GZIP} -9 -n -c ${page} > ${page}.gz
    DEPENDS ${page}
    COMMENT "Compressing the man page ${program}.1")
  list(APPEND OVIXLOG_MAN_PAGES ${page}.gz)
endforeach()
add_custom_target(ovixlog_man_pages ALL DEPENDS ${OVIXLOG_MAN_PAGES})
install(FILES ${OVIXLOG_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The menu entry, the icon and the metainfo belong to the window.
if(TARGET ovixlog)
  install(FILES ${OVIXLOG_PACKAGING_SOURCE}/ovixlog.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  configure_file(${OVIXLOG_PACKAGING_SOURCE}/ovixlog.metainfo.xml.in
                 ${OVIXLOG_PACKAGING_BINARY}/${OVIXLOG_APPSTREAM_ID}.metainfo.xml @ONLY)
  install(FILES ${OVIXLOG_PACKAGING_BINARY}/${OVIXLOG_APPSTREAM_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # The icon is the window's own, from res/.
  set(OVIXLOG_ICON_SVG ${PROJECT_SOURCE_DIR}/res/ovixlog.svg)
  if(NOT EXISTS ${OVIXLOG_ICON_SVG})
    message(WARNING "res/ovixlog.svg not found: the application icon is left out")
  else()
    install(FILES ${OVIXLOG_ICON_SVG}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    # Menus and docks that cannot draw SVG take the PNG of the nearest size.
    find_program(OVIXLOG_RSVG_CONVERT rsvg-convert)
    if(NOT OVIXLOG_RSVG_CONVERT)
      message(WARNING "rsvg-convert (Debian package librsvg2-bin) not found: the PNG icons "
                      "are left out; scripts/setup-deps installs it")
    else()
      set(OVIXLOG_ICON_PNGS)
      foreach(size 16 32 48 64 128 256)
        set(dir ${OVIXLOG_PACKAGING_BINARY}/icons/${size}x${size})
        add_custom_command(OUTPUT ${dir}/ovixlog.png
          COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
          COMMAND ${OVIXLOG_RSVG_CONVERT} --width=${size} --height=${size} --format=png
                  --output=${dir}/ovixlog.png ${OVIXLOG_ICON_SVG}
          DEPENDS ${OVIXLOG_ICON_SVG}
          COMMENT "Rendering the ${size}x${size} application icon"
          VERBATIM)
        list(APPEND OVIXLOG_ICON_PNGS ${dir}/ovixlog.png)
        install(FILES ${dir}/ovixlog.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
      endforeach()
      add_custom_target(ovixlog_icons ALL DEPENDS ${OVIXLOG_ICON_PNGS})
    endif()
  endif()
endif()

# The Debian package. The library dependencies are read off the programs by dpkg-shlibdeps;
# the Qt platform plugins are loaded at run time, so no library names them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ovixlog)
set(CPACK_PACKAGE_VENDOR "The OvixLog developers")
set(CPACK_PACKAGE_CONTACT "${OVIXLOG_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "record and review the data stream of an aircraft engine monitor")
# Debian shows the description as it stands, so it is wrapped here.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "OvixLog shows every reading of a small aircraft's engine monitor as it\n"
    "arrives on the serial line (RPM, cylinder head and exhaust gas temperatures,\n"
    "oil, fuel, airspeed, altitude and more) in a scrolling table, opens raw\n"
    "captures and EFIS DEMO recordings, and saves the table as text or CSV.\n"
    "Models 3100, 5100, 7100 and 8100 are supported.\n"
    ".\n"
    "Also included: ovixlog-convert, which turns recordings into tables on the\n"
    "command line, ovixlog-library, which keeps every flight in one searchable\n"
    "library, and ovixlog-sim, a monitor simulator.")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${OVIXLOG_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
if(TARGET ovixlog)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
set(CPACK_SOURCE_IGNORE_FILES "/build/" "/\\\\.git/")
include(CPack)
