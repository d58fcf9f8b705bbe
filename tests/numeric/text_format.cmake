vistrel_add_test(numeric_text_format_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_format_test.cpp
  LINKS vistrel_numeric)
