# Fault injection for every write of a project file, as its own test target.
vistrel_add_test(project_fault_test
  SOURCES fault_injection_test.cpp
  LINKS vistrel_settings vistrel_project)
