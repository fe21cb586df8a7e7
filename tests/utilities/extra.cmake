# The tools' tests run their logic in-process and their staged programs.
if(TARGET qtest_utilities_uireset)
  target_link_libraries(qtest_utilities_uireset PRIVATE uireset-core)
  add_dependencies(qtest_utilities_uireset uireset)
endif()
if(TARGET qtest_utilities_channelcare)
  target_link_libraries(qtest_utilities_channelcare PRIVATE channelcare-core)
  add_dependencies(qtest_utilities_channelcare channelcare)
endif()
