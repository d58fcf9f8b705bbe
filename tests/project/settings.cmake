# The settings file's tests, beside the other file formats' tests.
vistrel_add_test(settings_test
  SOURCES settings_test.cpp
  LINKS vistrel_settings)
