# Plug-in libraries that the application plug-in tests load: one complete
# library and two that break the contract in one way each.
set(appplugin_lib_src ${CMAKE_CURRENT_LIST_DIR}/helper/appplugin_testlib.cpp)
foreach(variant IN ITEMS full nomalloc noinfo)
  set(lib appplugin_testlib_${variant})
  add_library(${lib} MODULE ${appplugin_lib_src})
  target_include_directories(${lib} PRIVATE ${CMAKE_SOURCE_DIR})
  set_target_properties(${lib} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/bin
    PREFIX "")
endforeach()
target_compile_definitions(appplugin_testlib_nomalloc PRIVATE APPPLUGIN_TEST_NO_MALLOC=1)
target_compile_definitions(appplugin_testlib_noinfo PRIVATE APPPLUGIN_TEST_NO_INFO=1)

file(GLOB appplugin_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
foreach(src IN LISTS appplugin_tests)
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_test$" "" name ${name})
  set(t test_appplugins_${name})
  if(TARGET ${t})
    add_dependencies(${t} appplugin_testlib_full appplugin_testlib_nomalloc appplugin_testlib_noinfo)
    target_compile_definitions(${t} PRIVATE APPPLUGIN_TEST_LIB_DIR="${CMAKE_CURRENT_BINARY_DIR}/bin")
  endif()
endforeach()

# The program plug-ins and the plug-in library that the tests run from the stage.
foreach(t test_appplugins_program_plugins test_appplugins_listintake)
  if(TARGET ${t} AND TARGET listintake AND TARGET groupfetch)
    add_dependencies(${t} listintake groupfetch)
  endif()
endforeach()
if(TARGET test_appplugins_siteseek)
  add_dependencies(test_appplugins_siteseek siteseek)
  target_link_libraries(test_appplugins_siteseek PRIVATE siteseek-core)
endif()
