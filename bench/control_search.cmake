add_executable(control_search_bench ${CMAKE_CURRENT_LIST_DIR}/control_search.cpp)
target_link_libraries(control_search_bench PRIVATE vistrel_workflow vistrel_stereo_generator
                                                   vistrel_target_render)
target_include_directories(control_search_bench PRIVATE ${PROJECT_SOURCE_DIR})
vistrel_target_defaults(control_search_bench)
