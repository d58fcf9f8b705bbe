vistrel_add_test(numeric_text_format_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_format_test.cpp
  LINKS vistrel_numeric)

# A decimal-comma locale of the build's own, so that the locale test runs under plain ctest too
# without touching the system's locales. The test points LOCPATH at it before switching.
find_program(VISTREL_LOCALEDEF localedef)
set(VISTREL_TEST_LOCALES ${CMAKE_BINARY_DIR}/locale)
if(VISTREL_LOCALEDEF AND EXISTS /usr/share/i18n/locales/fr_FR
   AND NOT EXISTS ${VISTREL_TEST_LOCALES}/fr_FR.UTF-8)
  file(MAKE_DIRECTORY ${VISTREL_TEST_LOCALES})
  execute_process(
    COMMAND ${VISTREL_LOCALEDEF} -i fr_FR -f UTF-8 ${VISTREL_TEST_LOCALES}/fr_FR.UTF-8
    OUTPUT_QUIET ERROR_QUIET)
endif()
target_compile_definitions(numeric_text_format_test PRIVATE
  VISTREL_TEST_LOCALES="${VISTREL_TEST_LOCALES}")
