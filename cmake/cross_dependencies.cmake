# GoogleTest and CLI11 for a cross build. Debian ships both for the host only:
# GoogleTest as sources, which are built here with the cross compiler, and
# CLI11 as headers, whose CMake package would put all of /usr/include on the
# include path and so hide the target's own C and C++ headers.
include_guard(GLOBAL)

function(tessapak_cross_googletest)
  set(source /usr/src/googletest)
  if(NOT EXISTS ${source}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${source} (Debian: libgtest-dev)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(name gtest gtest_main gmock gmock_main)
    if(TARGET ${name} AND NOT TARGET GTest::${name})
      add_library(GTest::${name} ALIAS ${name})
    endif()
  endforeach()
endfunction()

function(tessapak_cross_cli11)
  find_path(TESSAPAK_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
            NO_DEFAULT_PATH)
  if(NOT TESSAPAK_CLI11_INCLUDE)
    message(FATAL_ERROR "CLI11 headers not found (Debian: libcli11-dev)")
  endif()
  # A folder that holds nothing but the CLI headers.
  set(only ${CMAKE_BINARY_DIR}/cli11-include)
  file(MAKE_DIRECTORY ${only})
  file(CREATE_LINK ${TESSAPAK_CLI11_INCLUDE}/CLI ${only}/CLI SYMBOLIC)
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${only})
endfunction()
