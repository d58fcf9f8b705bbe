#Rendered targets with known centres, for the centring tests and benchmark.
add_library(vistrel_target_render STATIC ${CMAKE_CURRENT_LIST_DIR} / target_render.cpp)
    target_include_directories(vistrel_target_render PUBLIC ${PROJECT_SOURCE_DIR})
        vistrel_target_defaults(vistrel_target_render)
