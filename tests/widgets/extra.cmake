# The shared window parts' tests link only those parts: what they test knows
# no window, dialog or start-up code.
file(GLOB widget_qtests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_qtest.cpp)
foreach(src IN LISTS widget_qtests)
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_qtest$" "" name ${name})
  if(TARGET qtest_widgets_${name})
    target_link_libraries(qtest_widgets_${name} PRIVATE orvan-widgets)
  endif()
endforeach()
