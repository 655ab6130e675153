# What the window needs to be a proper Windows program: no console, the icon,
# version information and manifest as resources, and the Qt plugins a static
# Qt must have linked in by name. Included by the top CMakeLists.txt for
# Windows builds with the window.
include_guard(GLOBAL)

# The icon is made from the committed PNGs when ImageMagick and Python are at
# hand (as on the Debian machines that cross-build); elsewhere the committed
# .ico, which scripts/make-pictures writes the same way, is used.
function(tessapak_windows_icon out_var)
  set(pictures)
  foreach(size 16 32 48 64)
    list(APPEND pictures ${PROJECT_SOURCE_DIR}/resources/icon_${size}.png)
  endforeach()
  find_program(TESSAPAK_PYTHON python3)
  find_program(TESSAPAK_CONVERT convert)
  if(TESSAPAK_PYTHON AND TESSAPAK_CONVERT)
    set(icon ${CMAKE_BINARY_DIR}/resources/tessapak.ico)
    add_custom_command(
      OUTPUT ${icon}
      COMMAND ${TESSAPAK_PYTHON} ${PROJECT_SOURCE_DIR}/scripts/make-icon ${icon} ${pictures}
      DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make-icon ${pictures}
      COMMENT "Making the Windows icon")
  else()
    set(icon ${PROJECT_SOURCE_DIR}/resources/tessapak.ico)
  endif()
  set(${out_var} ${icon} PARENT_SCOPE)
endfunction()

function(tessapak_windows_app target)
  tessapak_windows_icon(TESSAPAK_ICON_FILE)
  set(TESSAPAK_MANIFEST_FILE ${CMAKE_BINARY_DIR}/resources/tessapak.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/resources/windows/tessapak.manifest.in
                 ${TESSAPAK_MANIFEST_FILE} @ONLY)
  set(rc ${CMAKE_BINARY_DIR}/resources/tessapak.rc)
  configure_file(${PROJECT_SOURCE_DIR}/resources/windows/tessapak.rc.in ${rc} @ONLY)
  # windres does not see what the .rc includes by path.
  set_source_files_properties(${rc} PROPERTIES
    OBJECT_DEPENDS "${TESSAPAK_ICON_FILE};${TESSAPAK_MANIFEST_FILE}")
  target_sources(${target} PRIVATE ${rc})
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  qt_import_plugins(${target}
    INCLUDE_BY_TYPE platforms Qt6::QWindowsIntegrationPlugin
    INCLUDE_BY_TYPE imageformats Qt6::QGifPlugin Qt6::QICOPlugin
    INCLUDE_BY_TYPE styles Qt6::QWindowsVistaStylePlugin)
endfunction()

# Widget tests run offscreen, in Qt's own style as on Linux.
function(tessapak_windows_widget_test target)
  qt_import_plugins(${target}
    INCLUDE_BY_TYPE platforms Qt6::QOffscreenIntegrationPlugin
    INCLUDE_BY_TYPE imageformats Qt6::QGifPlugin
    EXCLUDE_BY_TYPE styles)
endfunction()
