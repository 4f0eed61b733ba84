# Warning flags shared by every target we compile.
add_library(vesk_warnings INTERFACE)
target_compile_options(vesk_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow -Wnon-virtual-dtor)

# Each layer is an object library whose sources are every .cpp under its
# directory; layers link one way only, and the public `vesk` libraries are
# assembled from all layer objects.
#
# A layer sees the public headers, its own headers and those of the layers it
# links, nothing else: its include root is a directory of the build tree that
# holds one link, `<prefix>` -> its source directory, so "core/..." resolves in
# core and every layer above it while "app/..." does not compile below app.
set(VESK_LAYERS "" CACHE INTERNAL "")

function(vesk_layer name dir prefix)
  cmake_parse_arguments(L "" "" "DEPENDS;LINKS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(NOT sources)
    return()
  endif()
  set(root "${PROJECT_BINARY_DIR}/layers/${name}")
  get_filename_component(parent "${root}/${prefix}" DIRECTORY)
  file(MAKE_DIRECTORY "${parent}")
  file(CREATE_LINK "${dir}" "${root}/${prefix}" SYMBOLIC)
  add_library(${name} OBJECT ${sources})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<BUILD_INTERFACE:${root}>)
  target_link_libraries(${name} PUBLIC ${L_DEPENDS} ${L_LINKS} PRIVATE vesk_warnings)
  set(VESK_LAYERS ${VESK_LAYERS} ${name} CACHE INTERNAL "")
endfunction()
