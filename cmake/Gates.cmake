# The project's own gates as build targets:
#   format  rewrites every tracked C++ file with clang-format
#   tidy    clang-tidy over src/ with the root .clang-tidy (needs this build's compile_commands.json)
#   check   the layout check, the format check, clang-tidy, then every test
find_program(DROVANE_CLANG_FORMAT NAMES clang-format-14 clang-format)
find_program(DROVANE_CLANG_TIDY NAMES clang-tidy-14 clang-tidy)
find_package(Python3 COMPONENTS Interpreter)

add_custom_target(format
  COMMAND sh -c "git ls-files -z -- '*.cpp' '*.h' | xargs -0 ${DROVANE_CLANG_FORMAT} -i"
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "clang-format on every tracked C++ file"
  VERBATIM)

add_custom_target(tidy
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/tidy.sh ${PROJECT_BINARY_DIR}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "clang-tidy over src/"
  VERBATIM)

add_custom_target(check
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/layout-check.py
  COMMAND sh -c "git ls-files -z -- '*.cpp' '*.h' | xargs -0 ${DROVANE_CLANG_FORMAT} --dry-run -Werror"
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/tidy.sh ${PROJECT_BINARY_DIR}
  COMMAND ${CMAKE_CTEST_COMMAND} --test-dir ${PROJECT_BINARY_DIR} --output-on-failure
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "layout, format, clang-tidy and the tests"
  VERBATIM)

# Qt's generated files must exist before clang-tidy reads the sources, and the tests
# before they run.
add_dependencies(tidy drovane drovane-cli drovane_testing)
get_property(test_targets GLOBAL PROPERTY DROVANE_TEST_TARGETS)
add_dependencies(check drovane drovane-cli drovane_testing ${test_targets})
