# Channel hook libraries that the hook tests load: one source, four variants
# (see tests/hooks/lib/hooktest_lib.cpp), built next to the test executables.
set(HOOKTEST_VARIANTS good noinfo refuse nomalloc)
foreach(variant IN LISTS HOOKTEST_VARIANTS)
  add_library(hooktest_${variant} MODULE ${CMAKE_CURRENT_LIST_DIR}/lib/hooktest_lib.cpp)
  string(TOUPPER ${variant} upper)
  target_compile_definitions(hooktest_${variant} PRIVATE HOOKTEST_${upper})
  target_link_libraries(hooktest_${variant} PRIVATE orvan-platform)
  set_target_properties(hooktest_${variant} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/bin
    PREFIX ""
    BUILD_RPATH "${ORVAN_STAGE_DIR}")
endforeach()

file(GLOB hooktest_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
foreach(src IN LISTS hooktest_sources)
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_test$" "" name ${name})
  foreach(variant IN LISTS HOOKTEST_VARIANTS)
    add_dependencies(test_hooks_${name} hooktest_${variant})
  endforeach()
endforeach()
