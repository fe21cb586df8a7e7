# The start-up's tests link the whole desktop.
file(GLOB desktop_qtests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_qtest.cpp)
foreach(src IN LISTS desktop_qtests)
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_qtest$" "" name ${name})
  if(TARGET qtest_desktop_${name})
    target_link_libraries(qtest_desktop_${name} PRIVATE orvan-desktop)
  endif()
endforeach()
