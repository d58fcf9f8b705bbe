# Common flags for every target so that warnings and sanitizers are the same everywhere.
function(vistrel_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra)
  endif()
endfunction()

# vistrel_add_library(name SOURCES ... LINKS ...)
function(vistrel_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  vistrel_target_defaults(${name})
endfunction()

# vistrel_add_test(name SOURCES ... LINKS ... [GUI] [X_DISPLAY])
# GUI tests get the offscreen platform; tests are discovered when ctest runs, not at build time,
# so that building never needs a display. X_DISPLAY tests share the one X server and run one at
# a time: without a window manager a window opened by one takes the keyboard from another's,
# and window shortcuts fire only in the active window.
function(vistrel_add_test name)
  cmake_parse_arguments(ARG "GUI;X_DISPLAY" "" "SOURCES;LINKS" ${ARGN})
  set(lock "")
  if(ARG_X_DISPLAY)
    set(lock RESOURCE_LOCK x_display)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})  # tests/support/
  vistrel_target_defaults(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "VISTREL_SOURCE_DIR=${PROJECT_SOURCE_DIR}" ${lock})
endfunction()
