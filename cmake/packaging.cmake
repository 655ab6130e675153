# Where the programs and their desktop integration go on install, and how
# CPack makes the two packages from that: a Debian package (scripts/build
# --package) and a Windows setup program (scripts/build-windows --package).
# `cmake --install` gives the same layout for anyone building by hand.
include_guard(GLOBAL)
# Instrumented builds are for testing, never for shipping.
if(TESSAPAK_SANITIZE OR TESSAPAK_FUZZ OR TESSAPAK_TSAN)
  return()
endif()
include(GNUInstallDirs)

set(TESSAPAK_APP_ID example.morvena.Tessapak)
set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)

set(installed_programs tessapak-cli)
if(TARGET tessapak)
  list(APPEND installed_programs tessapak)
endif()
install(TARGETS ${installed_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(WIN32)
  # The read-me and the licence notices that scripts/build-windows writes for
  # the zip go into the setup program too.
  install(DIRECTORY ${CMAKE_BINARY_DIR}/package-docs/ DESTINATION . OPTIONAL)
else()
  set(share ${CMAKE_INSTALL_DATADIR})
  install(FILES ${packaging_dir}/${TESSAPAK_APP_ID}.desktop
          DESTINATION ${share}/applications)
  install(FILES ${packaging_dir}/${TESSAPAK_APP_ID}.metainfo.xml DESTINATION ${share}/metainfo)
  install(FILES ${packaging_dir}/tessapak-mime.xml
          DESTINATION ${share}/mime/packages RENAME tessapak.xml)
  foreach(size 16 32 48 64)
    set(icon ${PROJECT_SOURCE_DIR}/resources/icon_${size}.png)
    set(theme_dir ${share}/icons/hicolor/${size}x${size})
    install(FILES ${icon} DESTINATION ${theme_dir}/apps RENAME tessapak.png)
    install(FILES ${icon} DESTINATION ${theme_dir}/mimetypes
            RENAME application-x-tessapak-rdb.png)
  endforeach()

  # Manual pages and the change log, compressed as Debian wants them. The
  # command-line tool's page is made from its own --help, so that it cannot
  # drift from the program.
  find_program(TESSAPAK_GZIP gzip REQUIRED)
  find_program(TESSAPAK_HELP2MAN help2man)
  set(doc_out ${CMAKE_BINARY_DIR}/packaging)
  set(gzipped)
  if(TESSAPAK_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
    add_custom_command(
      OUTPUT ${doc_out}/tessapak-cli.1
      COMMAND ${CMAKE_COMMAND} -E make_directory ${doc_out}
      COMMAND ${TESSAPAK_HELP2MAN} --no-info --section=1 --source=Tessapak
              "--name=pack and unpack RDB skin archives"
              --include=${packaging_dir}/tessapak-cli.h2m
              --output=${doc_out}/tessapak-cli.1 $<TARGET_FILE:tessapak-cli>
      DEPENDS tessapak-cli ${packaging_dir}/tessapak-cli.h2m
      COMMENT "Making the manual page of tessapak-cli"
      VERBATIM)
    list(APPEND gzipped ${doc_out}/tessapak-cli.1)
  else()
    message(STATUS "help2man not found: tessapak-cli gets no manual page")
  endif()
  configure_file(${packaging_dir}/tessapak.1 ${doc_out}/tessapak.1 COPYONLY)
  configure_file(${packaging_dir}/changelog ${doc_out}/changelog COPYONLY)
  list(APPEND gzipped ${doc_out}/tessapak.1 ${doc_out}/changelog)
  set(gz_files)
  foreach(file ${gzipped})
    # -n: no name or time stamp inside, so that the same sources give the same bytes.
    add_custom_command(
      OUTPUT ${file}.gz
      COMMAND ${TESSAPAK_GZIP} -9nfk ${file}
      DEPENDS ${file}
      VERBATIM)
    list(APPEND gz_files ${file}.gz)
  endforeach()
  add_custom_target(tessapak_docs ALL DEPENDS ${gz_files})
  if(TESSAPAK_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
    install(FILES ${doc_out}/tessapak-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  install(FILES ${doc_out}/tessapak.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${packaging_dir}/copyright ${doc_out}/changelog.gz
          DESTINATION ${share}/doc/tessapak)
endif()

# CPack: one generator per platform.
set(CPACK_PACKAGE_NAME tessapak)
set(CPACK_PACKAGE_VENDOR Morvena)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Morvena <tessapak@morvena.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pack skin resources into RDB archives and unpack them")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tessapak)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  set(CPACK_GENERATOR NSIS)
  set(CPACK_PACKAGE_FILE_NAME tessapak-${PROJECT_VERSION}-windows-x64-setup)
  # CPack looks for NSIS.template.in on the module path first.
  list(PREPEND CMAKE_MODULE_PATH ${packaging_dir})
  set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/tessapak.ico)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.morvena.example/")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The window's texts are Chinese; without a CJK font they show as boxes.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
  set(CPACK_PACKAGE_DESCRIPTION
      "Tessapak packs a folder tree of skin resources into one RDB archive (.rdb)
and unpacks such an archive into a new folder. It has a small window with a
Simplified Chinese interface (tessapak) and a command-line tool for scripts
and batch work (tessapak-cli), both on the same archive library.")
endif()
include(CPack)
