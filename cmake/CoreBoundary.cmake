# The wall between the core and the windows. A file directly under
# src/<folder>/ may use Qt Core and Qt SerialPort only: configure fails when it
# includes a QtWidgets, QtGui, QtMultimedia or QtCharts header, in any spelling
# (<QWidget>, <qwidget.h>, <QtWidgets/QWidget>, <QtWidgets>), or a header of a
# gui/ folder. Every core file is a configure dependency, so an edit that
# breaks the wall is caught at the next build.

set(LV300_FORBIDDEN_HEADERS "")
foreach(module Widgets Gui Multimedia Charts)
  list(APPEND LV300_FORBIDDEN_HEADERS Qt${module})
  foreach(dir ${Qt6${module}_INCLUDE_DIRS})
    if(dir MATCHES "/Qt${module}$")
      file(GLOB headers RELATIVE ${dir} ${dir}/*)
      list(APPEND LV300_FORBIDDEN_HEADERS ${headers})
    endif()
  endforeach()
endforeach()
list(REMOVE_DUPLICATES LV300_FORBIDDEN_HEADERS)

# Fails configure when one of the files includes a header beyond the wall.
function(lv300_check_core_sources)
  foreach(src ${ARGN})
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src})
    file(STRINGS ${src} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" header
                           "${line}")
      set(bad "")
      if(header MATCHES "(^|/)gui/")
        set(bad "a window header")
      elseif(header MATCHES "^Qt(Widgets|Gui|Multimedia|Charts)(/|$)")
        set(bad "a Qt${CMAKE_MATCH_1} header")
      elseif(header IN_LIST LV300_FORBIDDEN_HEADERS)
        set(bad "a QtWidgets/QtGui/QtMultimedia/QtCharts header")
      endif()
      if(bad)
        file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${src})
        message(FATAL_ERROR
                "${rel} includes ${bad} (${header}). Files directly under src/<folder>/ "
                "use Qt Core and Qt SerialPort only; windows belong in src/<folder>/gui/.")
      endif()
    endforeach()
  endforeach()
endfunction()
