# 3D window speed on a large geometry file: frame, pick and open times (needs an X server).
add_executable(view3d_bench ${CMAKE_CURRENT_LIST_DIR}/view3d_bench.cpp)
target_link_libraries(view3d_bench PRIVATE vistrel_view3d benchmark::benchmark)
vistrel_target_defaults(view3d_bench)
