# The dialog tests run the desktop's dialogs: link the desktop library.
file(GLOB dialog_qtests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_qtest.cpp)
foreach(src IN LISTS dialog_qtests)
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_qtest$" "" name ${name})
  if(TARGET qtest_dialogs_${name})
    target_link_libraries(qtest_dialogs_${name} PRIVATE orvan-desktop)
  endif()
endforeach()
