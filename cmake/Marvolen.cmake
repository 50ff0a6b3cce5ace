# Helpers shared by every folder of the build.

# Adds every direct subfolder of DIR (relative to the calling folder; "." for
# the calling folder itself) that has a CMakeLists.txt, in name order, so that
# a new filter, loader, tool, test or benchmark is one folder and nothing else.
# The folders named after FIRST (default: frame) come before all the others.
function(mv_add_subdirectories dir)
  cmake_parse_arguments(S "" "" "FIRST" ${ARGN})
  if(NOT S_FIRST)
    set(S_FIRST frame)
  endif()
  if(dir STREQUAL ".")
    set(prefix "")
  else()
    set(prefix "${dir}/")
  endif()
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/${dir} ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*)
  list(SORT children)
  list(REMOVE_ITEM children ${S_FIRST})
  foreach(child IN LISTS S_FIRST children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${prefix}${child}/CMakeLists.txt)
      add_subdirectory(${prefix}${child})
    endif()
  endforeach()
endfunction()

# Declares a plug-in library: a shared object named <name>.plugin with no "lib" prefix.
# OUTPUT_DIR defaults to build/bin/Plugins.
function(mv_add_plugin target)
  cmake_parse_arguments(P "" "OUTPUT_NAME;OUTPUT_DIR" "SOURCES;LIBS" ${ARGN})
  if(NOT P_OUTPUT_NAME)
    set(P_OUTPUT_NAME ${target})
  endif()
  if(NOT P_OUTPUT_DIR)
    set(P_OUTPUT_DIR ${MV_PLUGIN_DIR})
  endif()
  add_library(${target} MODULE ${P_SOURCES})
  target_link_libraries(${target} PRIVATE mv_sdk ${P_LIBS})
  set_target_properties(${target} PROPERTIES
    PREFIX "" SUFFIX ".plugin" OUTPUT_NAME ${P_OUTPUT_NAME}
    LIBRARY_OUTPUT_DIRECTORY ${P_OUTPUT_DIR}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  # A plug-in must resolve everything it uses at load time. (Clang's
  # sanitizer runtime lives in the executable, so its plug-ins cannot.)
  if(NOT (MV_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang"))
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()

# Adds a GoogleTest executable and registers it with CTest; Qt tests run headless.
# With QT, the test's main creates a QApplication first (mv_qttestmain).
function(mv_add_test target)
  cmake_parse_arguments(T "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  if(T_QT)
    target_link_libraries(${target} PRIVATE ${T_LIBS} mv_qttestmain GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MV_BIN_DIR=${MV_BIN_DIR}")
endfunction()
