# Renderer of the built-in demo photographs (examples/left.jpg, examples/right.jpg). Run it by
# hand to regenerate them:
#   make_demo_photos examples
add_executable(make_demo_photos ${CMAKE_CURRENT_LIST_DIR}/make_demo_photos.cpp)
target_link_libraries(make_demo_photos PRIVATE vistrel_photogrammetry JPEG::JPEG)
target_include_directories(make_demo_photos PRIVATE ${PROJECT_SOURCE_DIR})
vistrel_target_defaults(make_demo_photos)
