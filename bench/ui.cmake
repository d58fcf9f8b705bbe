# Main-window speed: 24-MP JPEG load against djpeg, pane repaint at three zooms.
add_executable(ui_bench ${CMAKE_CURRENT_LIST_DIR}/ui_bench.cpp)
target_link_libraries(ui_bench PRIVATE vistrel_ui_main benchmark::benchmark)
target_compile_definitions(ui_bench PRIVATE VISTREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
vistrel_target_defaults(ui_bench)
