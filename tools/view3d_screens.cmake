# Screenshots of the 3D window (opening view, zoomed in, after Fit, labels with drop lines), to be
# looked at after a change of the view. Needs an X server:
#   xvfb-run -a view3d_screens examples/geom.txt OUTDIR
add_executable(view3d_screens ${CMAKE_CURRENT_LIST_DIR}/view3d_screens.cpp)
target_link_libraries(view3d_screens PRIVATE vistrel_view3d)
vistrel_target_defaults(view3d_screens)
