# Warning flags shared by every target we compile.
add_library(vesk_warnings INTERFACE)
target_compile_options(vesk_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow -Wnon-virtual-dtor)

# Each layer is an object library whose sources are every .cpp under its
# directory; layers link one way only, and the public `vesk` libraries are
# assembled from all layer objects.
set(VESK_LAYERS "" CACHE INTERNAL "")

function(vesk_layer name dir)
  cmake_parse_arguments(L "" "" "DEPENDS;LINKS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(NOT sources)
    return()
  endif()
  set(deps "")
  foreach(d ${L_DEPENDS})
    if(TARGET ${d})
      list(APPEND deps ${d})
    endif()
  endforeach()
  add_library(${name} OBJECT ${sources})
  target_include_directories(${name}
    PUBLIC
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
  target_link_libraries(${name} PUBLIC ${deps} ${L_LINKS} PRIVATE vesk_warnings)
  set(VESK_LAYERS ${VESK_LAYERS} ${name} CACHE INTERNAL "")
endfunction()
