# CLI11, the command-line parser of svktool: header-only, Debian's libcli11-dev,
# imported as CLI11::CLI11.
# A cross-build (mingw) takes the host's package too, which its find root does
# not search. The host's include folder must stay off its include path (the host
# C library's headers would hide mingw's), so the target then points at a folder
# of the build tree holding only a link to the host's CLI headers.
if(TARGET CLI11::CLI11)
  return()
endif()
if(NOT CMAKE_CROSSCOMPILING)
  find_package(CLI11 2.1 REQUIRED CONFIG)
  return()
endif()
find_package(CLI11 2.1 REQUIRED CONFIG PATHS /usr NO_CMAKE_FIND_ROOT_PATH)
get_target_property(host_include CLI11::CLI11 INTERFACE_INCLUDE_DIRECTORIES)
set(cli11_include ${CMAKE_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${cli11_include})
file(CREATE_LINK ${host_include}/CLI ${cli11_include}/CLI SYMBOLIC)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${cli11_include})
