# Programs and libraries that the platform tests start or load; built next to
# the test executables.
add_executable(platform-test-helper ${CMAKE_CURRENT_LIST_DIR}/helper/platform_helper.cpp)
target_link_libraries(platform-test-helper PRIVATE orvan-platform)
set_target_properties(platform-test-helper PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/bin
  BUILD_RPATH "${ORVAN_STAGE_DIR}")

add_library(platform-test-plugin MODULE ${CMAKE_CURRENT_LIST_DIR}/helper/platform_plugin.cpp)
set_target_properties(platform-test-plugin PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/bin
  PREFIX "")

foreach(t test_platform_profile test_platform_registry test_platform_library)
  if(TARGET ${t})
    add_dependencies(${t} platform-test-helper platform-test-plugin)
  endif()
endforeach()
