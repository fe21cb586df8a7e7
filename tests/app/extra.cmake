# Every test of this folder exercises the application core (orvan-app).
file(GLOB app_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
foreach(src IN LISTS app_tests)
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_test$" "" name ${name})
  target_link_libraries(test_app_${name} PRIVATE orvan-app)
endforeach()
