# The application core's tests link orvan-app; the single-instance tests
# start the instance helper as real second processes.
orvan_link_folder_tests(app test orvan-app)

add_executable(app-instance-helper ${CMAKE_CURRENT_LIST_DIR}/helper/instance_helper.cpp)
target_link_libraries(app-instance-helper PRIVATE orvan-app)
set_target_properties(app-instance-helper PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/bin
  BUILD_RPATH "${ORVAN_STAGE_DIR}")
if(TARGET test_app_single_instance)
  add_dependencies(test_app_single_instance app-instance-helper)
  target_compile_definitions(test_app_single_instance PRIVATE
    INSTANCE_HELPER="${CMAKE_CURRENT_BINARY_DIR}/bin/app-instance-helper")
endif()

# The real program, started by its test: it needs the program and the hook
# library that its hook test attaches.
if(TARGET qtest_app_program)
  target_link_libraries(qtest_app_program PRIVATE orvan-app Qt6::Network)
  add_dependencies(qtest_app_program orvan hooktest_good)
  # The program directory it copies holds the staged plug-ins.
  foreach(plugin siteseek listintake groupfetch)
    if(TARGET ${plugin})
      add_dependencies(qtest_app_program ${plugin})
    endif()
  endforeach()
  set_tests_properties(qtest_app_program PROPERTIES TIMEOUT 600 LABELS program)
  # Qt Test's watchdog gets the same limit: on a busy machine it has ended
  # this test at five minutes with its current function seconds old (it
  # counted across functions), and the test starts the program many times.
  set_property(TEST qtest_app_program APPEND PROPERTY ENVIRONMENT "QTEST_FUNCTION_TIMEOUT=600000")
  # A hook opens a channel window and a new user gets the welcome page (Qt
  # WebEngine) in the program; the program inherits these, as the window
  # tests have them.
  set_property(TEST qtest_app_program APPEND PROPERTY ENVIRONMENT
    "ASAN_OPTIONS=new_delete_type_mismatch=0"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/ui/webengine.lsan.supp")
endif()

# The stock reports' outline export is read back by the staged listintake.
if(TARGET test_app_stock_reports AND TARGET listintake)
  add_dependencies(test_app_stock_reports listintake)
endif()
