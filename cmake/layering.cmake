# The recorder's layering, checked when the build is configured: every folder includes and links
# only itself and the folders it declares it uses (wavelark_recorder_library's USES), and the
# graph of those uses has no cycle. A violation stops the configure step with the offending
# file or the cycle.

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

function(wavelark_check_layering root)
  get_property(layers GLOBAL PROPERTY WAVELARK_RECORDER_LAYERS)
  foreach(layer ${layers})
    wavelark_visit_layer(${layer} "")
  endforeach()

  string(REPLACE ";" "|" alternatives "${layers}")
  foreach(layer ${layers})
    get_property(uses GLOBAL PROPERTY WAVELARK_USES_${layer})
    file(GLOB sources ${root}/${layer}/*.h ${root}/${layer}/*.cpp)
    foreach(source ${sources})
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
