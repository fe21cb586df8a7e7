# The window tests link the desktop library.
file(GLOB ui_qtests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_qtest.cpp)
foreach(src IN LISTS ui_qtests)
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_qtest$" "" name ${name})
  target_link_libraries(qtest_ui_${name} PRIVATE orvan-desktop)
endforeach()
