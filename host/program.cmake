# The main window (a library, so that the tests link it) and the program.
add_library(mv_mainwindow STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MainFrm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuDrawing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuStyle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SystemColours.cpp)
target_include_directories(mv_mainwindow PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(mv_mainwindow PUBLIC mv_host mv_presentation mv_windows mv_platform_qt mv_model mv_registry
                      Qt6::Widgets)

add_executable(marvolen ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(marvolen PRIVATE mv_mainwindow)
set_target_properties(marvolen PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MV_BIN_DIR})

# The help page ships beside the program.
set(MV_HELP_PAGE ${CMAKE_SOURCE_DIR}/docs/Marvolen.html)
add_custom_command(OUTPUT ${MV_BIN_DIR}/Marvolen.html
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${MV_HELP_PAGE} ${MV_BIN_DIR}/Marvolen.html
  DEPENDS ${MV_HELP_PAGE}
  COMMENT "Copying the help page")
add_custom_target(mv_helppage ALL DEPENDS ${MV_BIN_DIR}/Marvolen.html)
add_dependencies(marvolen mv_helppage)
