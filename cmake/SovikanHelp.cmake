# The help pages beside the programs of a folder in the build tree, where a
# program looks for them as beside an installed Windows program; nothing of the
# build machine is compiled in. Copied on every build, so edited pages show.
function(sovikan_help_beside target)
  add_custom_target(${target}_help
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/docs/help ${CMAKE_CURRENT_BINARY_DIR}/help
    VERBATIM)
  add_dependencies(${target} ${target}_help)
endfunction()
