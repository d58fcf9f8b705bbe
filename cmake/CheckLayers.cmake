# Fails when a source file includes a header of a layer it may not use. Run as
#   cmake -DSOURCE_DIR=<repository> -P cmake/CheckLayers.cmake
# The layers, inside out: numeric; photogrammetry; project; workflow (the session both front ends
# run); then cli, ui/main and ui/view3d, which use workflow or project and what they use;
# pictures (photograph decoding) uses project, photogrammetry and numeric and serves ui/main and cli (cli
# through a header without Qt types, for reading photographs); it uses QtGui and never QtWidgets,
# so that the command-line tool reads photographs in a build without the windows; ui/view3d also
# uses scene; scene and ui/help stand alone; app assembles everything. The core layers, workflow
# and the command-line tool include no Qt header.
cmake_minimum_required(VERSION 3.25)

set(allowed_numeric numeric)
set(allowed_photogrammetry numeric photogrammetry)
set(allowed_project numeric photogrammetry project)
set(allowed_workflow numeric photogrammetry project workflow)
set(allowed_cli numeric photogrammetry project workflow pictures cli)
set(allowed_scene scene)
set(allowed_pictures numeric photogrammetry project pictures)
set(allowed_ui_main numeric photogrammetry project workflow pictures ui/main)
set(allowed_ui_view3d numeric photogrammetry project scene ui/view3d)
set(allowed_ui_help ui/help)
set(without_qt numeric photogrammetry project workflow cli)
set(without_qt_widgets pictures)
# The QtWidgets headers, by name: the module's own folder when Qt is installed, and the classes
# most likely to slip in otherwise (the check must hold without Qt too).
set(widget_headers QtWidgets QApplication QWidget QMainWindow QDialog QMessageBox QLabel
    QPushButton QFileDialog QLineEdit QStyle)
foreach(dir /usr/include/x86_64-linux-gnu/qt6/QtWidgets /usr/include/qt6/QtWidgets
    ${QT_WIDGETS_INCLUDE_DIR})
  if(IS_DIRECTORY ${dir})
    file(GLOB names RELATIVE ${dir} ${dir}/Q*)
    list(APPEND widget_headers ${names})
  endif()
endforeach()

set(violations "")
foreach(layer numeric photogrammetry project workflow cli scene pictures ui/main ui/view3d ui/help)
  string(REPLACE "/" "_" key ${layer})
  file(GLOB_RECURSE files ${SOURCE_DIR}/src/${layer}/*.h ${SOURCE_DIR}/src/${layer}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${includes})
      if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
        set(header ${CMAKE_MATCH_1})
        # A header of a layer is named by its layer folder: "ui/main/x.h", "numeric/x.h".
        # (CMake evaluates both sides of an OR, so the two patterns are tried one by one.)
        set(target "")
        if(header MATCHES "^(ui/[a-z0-9_]+)/")
          set(target ${CMAKE_MATCH_1})
        elseif(header MATCHES "^([a-z0-9_]+)/")
          set(target ${CMAKE_MATCH_1})
        endif()
        if(target)
          if(IS_DIRECTORY ${SOURCE_DIR}/src/${target} AND NOT target IN_LIST allowed_${key})
            list(APPEND violations "${file}: ${layer} may not include \"${header}\"")
          endif()
        endif()
      elseif(layer IN_LIST without_qt AND line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]+[^>]*)>")
        list(APPEND violations "${file}: ${layer} may not include the Qt header <${CMAKE_MATCH_1}>")
      elseif(layer IN_LIST without_qt_widgets AND line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]+)[/>]")
        if(CMAKE_MATCH_1 IN_LIST widget_headers)
          list(APPEND violations "${file}: ${layer} uses QtGui only, not <${CMAKE_MATCH_1}>")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n" text)
  message(FATAL_ERROR "Includes against the layers:\n${text}")
endif()
message(STATUS "Every include follows the layers.")
