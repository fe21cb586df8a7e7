# orvan_program_plugin(name SOURCES ... FILES ...): builds the program plug-in
# <name>.exe from the sources and the shared frame into
# stage/appPlugins/<name>, and copies its definition and templates beside it.
# The ".exe" name is what the definition's Plugin key names: the host runs a
# plug-in by the extension of that name, and an executable file runs as it is.
include_guard(GLOBAL)

function(orvan_program_plugin name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;FILES")
  set(dir ${ORVAN_STAGE_DIR}/appPlugins/${name})
  add_executable(${name} ${arg_SOURCES} ${CMAKE_SOURCE_DIR}/appPlugins/pluginFrame/programPluginFrame.cpp)
  target_link_libraries(${name} PRIVATE orvan-engine)
  set_target_properties(${name} PROPERTIES
    OUTPUT_NAME ${name}
    SUFFIX ".exe"
    RUNTIME_OUTPUT_DIRECTORY ${dir}
    BUILD_RPATH "$ORIGIN/../.."
    INSTALL_RPATH "$ORIGIN/../..")
  set(staged)
  foreach(file IN LISTS arg_FILES)
    add_custom_command(OUTPUT ${dir}/${file}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_SOURCE_DIR}/${file} ${dir}/${file}
      DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    list(APPEND staged ${dir}/${file})
  endforeach()
  add_custom_target(${name}-files ALL DEPENDS ${staged})
  add_dependencies(${name} ${name}-files)
endfunction()
