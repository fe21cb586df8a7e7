# Window tests link the desktop library (the windows with the start-up wiring
# that builds them).
orvan_link_folder_tests(ui qtest orvan-desktop)
# Qt WebEngine's own allocator frees some objects with a sized delete of
# another size, and keeps some allocations until exit; those reports are
# about the library, not the code under test.
if(TARGET qtest_ui_channel_windows)
  set_property(TEST qtest_ui_channel_windows APPEND PROPERTY ENVIRONMENT
    "ASAN_OPTIONS=new_delete_type_mismatch=0"
    "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/webengine.lsan.supp")
endif()
# The page windows' test: Qt WebEngine as above, the real listeners of the
# application core, and the staged listintake plug-in.
if(TARGET qtest_ui_page_windows)
  if(TARGET listintake)
    add_dependencies(qtest_ui_page_windows listintake)
  endif()
  set_property(TEST qtest_ui_page_windows APPEND PROPERTY ENVIRONMENT
    "ASAN_OPTIONS=new_delete_type_mismatch=0"
    "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/webengine.lsan.supp")
endif()
# Balloon clicks, tray entries and the main frame's commands open real
# channel windows (Qt WebEngine).
foreach(t qtest_ui_notify qtest_ui_tray qtest_ui_frame_commands)
  if(TARGET ${t})
    set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT
      "ASAN_OPTIONS=new_delete_type_mismatch=0"
      "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/webengine.lsan.supp")
  endif()
endforeach()
# The real program under Xvfb with a tray host: it needs the staged program.
if(TARGET qtest_ui_tray_xvfb)
  add_dependencies(qtest_ui_tray_xvfb orvan)
  foreach(plugin siteseek listintake groupfetch)
    if(TARGET ${plugin})
      add_dependencies(qtest_ui_tray_xvfb ${plugin})
    endif()
  endforeach()
  # A real program on its own display: alone, so a loaded machine does not
  # starve its start-up. Label "program": the tests that start the real
  # program (scripts/test runs them in the release build too).
  set_tests_properties(qtest_ui_tray_xvfb PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE LABELS program)
  # Its channel windows load pages in Qt WebEngine (as above).
  set_property(TEST qtest_ui_tray_xvfb APPEND PROPERTY ENVIRONMENT "ASAN_OPTIONS=new_delete_type_mismatch=0")
endif()
