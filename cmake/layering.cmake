# The recorder's layering, checked when the build is configured: every folder includes and links
# only itself and the folders it declares it uses (wavelark_recorder_library's USES), and the
# graph of those uses has no cycle. The folders declared without widgets (wavelark_recorder_library's
# NO_WIDGETS) include no header of Qt's widgets module, no QAction and no sorvak_widgets.h: what
# they show goes through an interface the window implements. A violation stops the configure step
# with the offending file or the cycle.

function(wavelark_visit_layer layer path)
  get_property(state GLOBAL PROPERTY WAVELARK_LAYER_STATE_${layer})
  if(state STREQUAL "done")
    return()
  elseif(state STREQUAL "open")
    string(REPLACE ";" " -> " cycle "${path};${layer}")
    message(FATAL_ERROR "The recorder's folders use each other in a circle: ${cycle}")
  endif()
  set_property(GLOBAL PROPERTY WAVELARK_LAYER_STATE_${layer} open)
  get_property(uses GLOBAL PROPERTY WAVELARK_USES_${layer})
  foreach(used ${uses})
    wavelark_visit_layer(${used} "${path};${layer}")
  endforeach()
  set_property(GLOBAL PROPERTY WAVELARK_LAYER_STATE_${layer} done)
endfunction()

# The names a folder without widgets may not include: the widgets module's headers as Qt installs
# them, the module itself, QAction (in QtGui since Qt 6, but the menus' and buttons' own) and the
# toolkit's widget helpers.
function(wavelark_widget_headers out)
  set(names QtWidgets QAction QActionGroup sorvak_widgets.h)
  get_target_property(directories Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
  foreach(directory ${directories})
    if(directory MATCHES "/QtWidgets$" AND IS_DIRECTORY ${directory})
      file(GLOB headers RELATIVE ${directory} ${directory}/Q* ${directory}/q*.h)
      list(APPEND names ${headers})
    endif()
  endforeach()
  # Without the installed list, at least the classes the window is made of.
  list(APPEND names QWidget QMainWindow QMessageBox QProgressBar QLabel QAbstractButton QPushButton QCheckBox
                    QSlider QMenu QMenuBar QDialog QApplication QTreeWidget QLineEdit QFileDialog)
  list(REMOVE_DUPLICATES names)
  set(${out} ${names} PARENT_SCOPE)
endfunction()

function(wavelark_check_widgetless layer source root widgetHeaders)
  file(STRINGS ${source} includes REGEX "^#include [<\"]")
  foreach(line ${includes})
    string(REGEX REPLACE "^#include [<\"]([^>\"]+)[>\"].*" "\\1" included "${line}")
    string(REGEX REPLACE "^QtWidgets/" "" name "${included}")
    if(included MATCHES "^QtWidgets/" OR name IN_LIST widgetHeaders)
      file(RELATIVE_PATH shown ${root} ${source})
      message(FATAL_ERROR "${shown} includes ${included}, a widget header, which the ${layer} folder may not use "
                          "(it shows what it has to show through an interface the window implements)")
    endif()
  endforeach()
endfunction()

function(wavelark_check_layering root)
  get_property(layers GLOBAL PROPERTY WAVELARK_RECORDER_LAYERS)
  foreach(layer ${layers})
    wavelark_visit_layer(${layer} "")
  endforeach()

  string(REPLACE ";" "|" alternatives "${layers}")
  get_property(widgetless GLOBAL PROPERTY WAVELARK_WIDGETLESS_LAYERS)
  wavelark_widget_headers(widgetHeaders)
  foreach(layer ${layers})
    get_property(uses GLOBAL PROPERTY WAVELARK_USES_${layer})
    file(GLOB sources ${root}/${layer}/*.h ${root}/${layer}/*.cpp)
    foreach(source ${sources})
      if(layer IN_LIST widgetless)
        wavelark_check_widgetless(${layer} ${source} ${root} "${widgetHeaders}")
      endif()
      file(STRINGS ${source} includes REGEX "^#include \"(${alternatives})/")
      foreach(line ${includes})
        string(REGEX REPLACE "^#include \"([a-z]+)/.*" "\\1" included "${line}")
        if(NOT included STREQUAL layer AND NOT included IN_LIST uses)
          file(RELATIVE_PATH shown ${root} ${source})
          message(FATAL_ERROR "${shown} includes ${included}/, which the ${layer} folder may not use "
                              "(it uses: ${uses})")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()
