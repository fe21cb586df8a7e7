# The dialog tests run the dialogs with the program's start-up wiring: link
# the desktop library.
orvan_link_folder_tests(dialogs qtest orvan-desktop)

# A hook library that opens its channel's property sheet from a command.
add_library(dialogtest_openhook MODULE ${CMAKE_CURRENT_LIST_DIR}/lib/openhook_lib.cpp)
target_link_libraries(dialogtest_openhook PRIVATE orvan-platform)
set_target_properties(dialogtest_openhook PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/bin
  PREFIX ""
  BUILD_RPATH "${ORVAN_STAGE_DIR}")
if(TARGET qtest_dialogs_channel_hooks)
  add_dependencies(qtest_dialogs_channel_hooks dialogtest_openhook hooktest_good)
endif()

# The wizard's feed error dialog renders downloaded text in a Qt WebEngine
# view: the library's own allocator reports are not about the code under test.
if(TARGET qtest_dialogs_new_channel_wizard)
  set_property(TEST qtest_dialogs_new_channel_wizard APPEND PROPERTY ENVIRONMENT
    "ASAN_OPTIONS=new_delete_type_mismatch=0"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/ui/webengine.lsan.supp")
endif()
