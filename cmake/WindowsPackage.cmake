# The Windows program folder, laid out by `cmake --install`:
#
#   lv300-configurator.exe, lv300ctl.exe
#   the DLLs they load (Qt's and MinGW's runtime), found by walking the
#   programs' and plugins' imports, so the list follows the code
#   platforms/qwindows.dll, styles/qwindowsvistastyle.dll
#   translations/qtbase_ru.qm (the .qm files are the same on every platform)
#   guide/: the guide's pages and pictures (built into the program too), to
#   read or print without it
#
# Qt finds the plugins and translations beside the program by itself (its
# prefix is the program's folder when there is no qt.conf).

get_filename_component(LV300_WIN_QT_PREFIX "${Qt6_DIR}/../../.." ABSOLUTE)
set(LV300_QT_TRANSLATIONS /usr/share/qt6/translations
    CACHE PATH "Where qtbase_ru.qm is taken from (Debian's qt6-translations-l10n)")
set(LV300_MINGW_OBJDUMP x86_64-w64-mingw32-objdump CACHE STRING "objdump that reads PE files")

# The folders the DLLs may come from: the Qt prefix and the MinGW runtime.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE LV300_LIBSTDCXX OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
                OUTPUT_VARIABLE LV300_WINPTHREAD OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(LV300_GCC_RUNTIME_DIR "${LV300_LIBSTDCXX}" DIRECTORY)
get_filename_component(LV300_WINPTHREAD_DIR "${LV300_WINPTHREAD}" DIRECTORY)
set(LV300_DLL_DIRS ${LV300_WIN_QT_PREFIX}/bin ${LV300_GCC_RUNTIME_DIR} ${LV300_WINPTHREAD_DIR}
                   /usr/x86_64-w64-mingw32/lib)

if(NOT EXISTS ${LV300_QT_TRANSLATIONS}/qtbase_ru.qm)
  message(FATAL_ERROR "No qtbase_ru.qm in ${LV300_QT_TRANSLATIONS} (apt-get install qt6-translations-l10n)")
endif()

install(TARGETS lv300-configurator lv300ctl RUNTIME DESTINATION .)
install(FILES ${LV300_WIN_QT_PREFIX}/plugins/platforms/qwindows.dll DESTINATION platforms)
install(FILES ${LV300_WIN_QT_PREFIX}/plugins/styles/qwindowsvistastyle.dll DESTINATION styles)
install(FILES ${LV300_QT_TRANSLATIONS}/qtbase_ru.qm DESTINATION translations)
install(FILES README.md DESTINATION .)
install(DIRECTORY docs/guide/ DESTINATION guide)

install(CODE "set(LV300_DLL_DIRS \"${LV300_DLL_DIRS}\")
set(LV300_DLL_NAMES \"${CMAKE_BINARY_DIR}/dll-names\")
set(LV300_PLUGINS \"${LV300_WIN_QT_PREFIX}/plugins/platforms/qwindows.dll;${LV300_WIN_QT_PREFIX}/plugins/styles/qwindowsvistastyle.dll\")
set(LV300_PROGRAMS \"$<TARGET_FILE:lv300-configurator>;$<TARGET_FILE:lv300ctl>\")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND \"${LV300_MINGW_OBJDUMP}\")")
install(CODE [[
  # The imports name DLLs in any case and are matched in lower case; this
  # file system is case-sensitive, so they are looked for through links
  # named in lower case to the real files.
  set(lower "${LV300_DLL_NAMES}")
  file(REMOVE_RECURSE "${lower}")
  file(MAKE_DIRECTORY "${lower}")
  foreach(dir ${LV300_DLL_DIRS})
    file(GLOB dlls "${dir}/*.dll")
    foreach(dll ${dlls})
      get_filename_component(name "${dll}" NAME)
      string(TOLOWER "${name}" name)
      if(NOT EXISTS "${lower}/${name}")
        file(CREATE_LINK "${dll}" "${lower}/${name}" SYMBOLIC)
      endif()
    endforeach()
  endforeach()
  # Every DLL not found there must be Windows' own.
  file(GET_RUNTIME_DEPENDENCIES
       EXECUTABLES ${LV300_PROGRAMS}
       LIBRARIES ${LV300_PLUGINS}
       DIRECTORIES "${lower}"
       RESOLVED_DEPENDENCIES_VAR resolved
       UNRESOLVED_DEPENDENCIES_VAR unresolved
       PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-")
  set(system advapi32 comdlg32 d3d9 d3d11 d3d12 dwmapi dwrite dxgi gdi32 imm32 kernel32 msvcrt
      netapi32 ole32 oleaut32 opengl32 setupapi shell32 shlwapi user32 userenv uxtheme version
      winmm ws2_32 wtsapi32 mpr authz uiautomationcore shcore dcomp)
  foreach(dll ${unresolved})
    string(TOLOWER "${dll}" name)
    string(REGEX REPLACE "\\.dll$" "" name "${name}")
    list(FIND system "${name}" known) # no IN_LIST: install scripts run without policies
    if(known EQUAL -1)
      message(FATAL_ERROR "A DLL the programs load was found nowhere: ${dll}")
    endif()
  endforeach()
  foreach(dll ${resolved})
    file(REAL_PATH "${dll}" real)
    file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}" TYPE SHARED_LIBRARY FILES "${real}")
  endforeach()
]])
