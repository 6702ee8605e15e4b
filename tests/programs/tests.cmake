# The programs the tests and the build call by name are on the PATH, and scripts/setup-deps
# installs their packages.
add_test(NAME required_programs
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_programs.sh
          ${CMAKE_CURRENT_LIST_DIR}/programs.txt ${PROJECT_SOURCE_DIR}/scripts/setup-deps)
set_tests_properties(required_programs PROPERTIES TIMEOUT 30)
