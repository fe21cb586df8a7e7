# The watchpane test loads the staged library.
if(TARGET qtest_watchpane_watchpane AND TARGET watchpane)
  add_dependencies(qtest_watchpane_watchpane watchpane)
endif()
