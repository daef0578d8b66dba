# mailsift_add_test_suite(NAME name SOURCES file...
#                         [LIBRARIES target...] [LABELS label...] [DEFINITIONS definition...]
#                         [INCLUDES folder...] [DEPENDS target...] [QT])
#
# Builds the test program NAME_tests (a dot in NAME becomes an underscore)
# from SOURCES, linked with LIBRARIES, the test support and the warnings, and
# registers its tests with CTest. The tests carry the label of their layer
# (NAME up to the first dot) and LABELS; slow tests get the label `slow`, so
# that `ctest -LE slow` (scripts/test --quick) leaves them out.
#   By default the program is a GoogleTest suite linked with gtest_main, and
#   every test in it becomes one CTest test named NAME.Suite.Test, so that
#   `ctest -R '^sources\.'` picks a layer.
#   QT: a Qt Test program with its own main(), built with AUTOMOC and run as
#   one CTest test named NAME on Qt's offscreen platform. The caller finds Qt.
function(mailsift_add_test_suite)
  cmake_parse_arguments(PARSE_ARGV 0 SUITE "QT" "NAME" "SOURCES;LIBRARIES;LABELS;DEFINITIONS;INCLUDES;DEPENDS")
  if(NOT SUITE_NAME OR NOT SUITE_SOURCES OR SUITE_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "mailsift_add_test_suite: needs NAME and SOURCES; unknown: ${SUITE_UNPARSED_ARGUMENTS}")
  endif()
  string(REPLACE "." "_" program "${SUITE_NAME}_tests")
  string(REGEX REPLACE "\\..*" "" layer "${SUITE_NAME}")
  set(labels ${layer} ${SUITE_LABELS})

  add_executable(${program} ${SUITE_SOURCES})
  target_link_libraries(${program} PRIVATE ${SUITE_LIBRARIES} mailsift::test_support mailsift::warnings)
  target_compile_definitions(${program} PRIVATE ${SUITE_DEFINITIONS})
  target_include_directories(${program} PRIVATE ${SUITE_INCLUDES})
  if(SUITE_DEPENDS)
    add_dependencies(${program} ${SUITE_DEPENDS})
  endif()

  if(SUITE_QT)
    set_target_properties(${program} PROPERTIES AUTOMOC ON)
    target_link_libraries(${program} PRIVATE Qt6::Test)
    add_test(NAME ${SUITE_NAME} COMMAND ${program})
    set_tests_properties(${SUITE_NAME} PROPERTIES LABELS "${labels}" ENVIRONMENT QT_QPA_PLATFORM=offscreen)
    return()
  endif()

  target_link_libraries(${program} PRIVATE GTest::gtest_main)
  # Listing the tests under an emulator (Wine) can take far longer than the
  # default 5 seconds.
  gtest_discover_tests(${program} TEST_PREFIX "${SUITE_NAME}." TEST_LIST ${program}_TESTS DISCOVERY_TIMEOUT 120)
  # gtest_discover_tests(PROPERTIES LABELS a;b) keeps only the first label
  # (CMake 3.25), so the labels are set by a script that CTest runs after
  # the discovered tests are added.
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${program}_labels.cmake)
  file(WRITE ${script}
       "if(${program}_TESTS)\n  set_tests_properties(\${${program}_TESTS} PROPERTIES LABELS \"${labels}\")\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
