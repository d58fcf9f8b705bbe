# Screenshots of the main window on the demo project, on request:
#   make_screenshots OUTPUT_DIR
add_executable(make_screenshots ${CMAKE_CURRENT_LIST_DIR}/make_screenshots.cpp)
target_link_libraries(make_screenshots PRIVATE vistrel_ui_main)
target_include_directories(make_screenshots PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(make_screenshots PRIVATE VISTREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
vistrel_target_defaults(make_screenshots)
