# The host's non-Qt core: the services table's host functions. The program, the
# command-line tool and the tests link it.
add_library(mv_host STATIC ${CMAKE_CURRENT_LIST_DIR}/HostServices.cpp)
target_include_directories(mv_host PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(mv_host PUBLIC mv_model mv_registry mv_platform mv_sdk)
