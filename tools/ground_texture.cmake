# Generator of the 3D window's ground texture (assets/ground.png). Run it by hand to regenerate:
#   make_ground_texture assets/ground.png
add_executable(make_ground_texture ${CMAKE_CURRENT_LIST_DIR}/make_ground_texture.cpp)
target_link_libraries(make_ground_texture PRIVATE Qt6::Gui)
vistrel_target_defaults(make_ground_texture)
