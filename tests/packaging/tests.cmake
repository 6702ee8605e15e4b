# Builds the Debian package from this build tree and checks what it installs. Sanitizer builds
# are left out: nobody installs them, and their programs need the sanitizer runtimes.
if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize" AND TARGET ovixlog-convert AND TARGET ovixlog-sim)
  if(TARGET ovixlog)
    set(OVIXLOG_PACKAGE_HAS_WINDOW ON)
  else()
    set(OVIXLOG_PACKAGE_HAS_WINDOW OFF)
  endif()
  add_test(NAME packaging
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_package.sh
            --build-dir ${CMAKE_BINARY_DIR}
            --version ${PROJECT_VERSION}
            --window ${OVIXLOG_PACKAGE_HAS_WINDOW}
            --convert $<TARGET_FILE:ovixlog-convert>)
  set_tests_properties(packaging PROPERTIES TIMEOUT 900 LABELS packaging)
endif()
