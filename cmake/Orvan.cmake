# Collects the .cpp files below the given folders (new files are picked up
# at the next build). A placeholder keeps a library with no sources valid.
function(orvan_glob_sources out)
  set(globs)
  foreach(dir IN LISTS ARGN)
    list(APPEND globs ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  endforeach()
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${globs})
  if(NOT files)
    set(placeholder ${CMAKE_BINARY_DIR}/generated/empty_${out}.cpp)
    file(WRITE ${placeholder} "// no sources yet\n")
    set(files ${placeholder})
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# A static library of Qt widgets code: every .cpp and .h below the given
# folder, run through moc. AUTOMOC runs again when the list of sources
# changes: its own dependencies miss a header that has come in since the
# last build (a merge), which then links without its moc code.
function(orvan_qt_library target dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  add_library(${target} STATIC ${sources})
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON)
  string(REPLACE ";" "\n" source_list "${sources}")
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${target}-sources.txt)
  set(old_list "")
  if(EXISTS ${list_file})
    file(READ ${list_file} old_list)
  endif()
  if(NOT old_list STREQUAL source_list)
    file(WRITE ${list_file} "${source_list}")
    file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/timestamp)
  endif()
endfunction()
