add_library(vistrel_stereo_generator STATIC ${CMAKE_CURRENT_LIST_DIR} / stereo_generator.cpp)
    target_link_libraries(vistrel_stereo_generator PUBLIC vistrel_photogrammetry)
        target_include_directories(vistrel_stereo_generator PUBLIC ${PROJECT_SOURCE_DIR})
            vistrel_target_defaults(vistrel_stereo_generator)
