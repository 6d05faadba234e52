# The program's layers: core, then runtime, then console and ui, then actions, then app. Each layer
# is a library whose include root holds links to its own folder and to the folders of the layers
# below it, and nothing else: an upward #include does not compile, and a layer links only the
# layers below it. (Directory links need Developer Mode or administrator rights on Windows.)

# Makes the include root of layer name, where each of folders (name first) is reachable.
function(oz_include_root name)
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  foreach(folder ${ARGN})
    if(folder STREQUAL resources)
      set(target ${PROJECT_SOURCE_DIR}/resources)
    else()
      set(target ${PROJECT_SOURCE_DIR}/src/${folder})
    endif()
    if(NOT EXISTS ${root}/${folder})
      file(CREATE_LINK ${target} ${root}/${folder} SYMBOLIC)
    endif()
  endforeach()
  set(oz_layer_root ${root} PARENT_SCOPE)
endfunction()

# oz_layer(NAME SEES folder... LINKS target... [SOURCES file...] [EXCLUDE regex]): the library
# oz_NAME from src/NAME/*.cpp.
function(oz_layer name)
  cmake_parse_arguments(layer "" "EXCLUDE" "SEES;LINKS;SOURCES" ${ARGN})
  oz_include_root(${name} ${name} ${layer_SEES})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/*.cpp)
  if(layer_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX ${layer_EXCLUDE})
  endif()
  add_library(oz_${name} STATIC ${sources} ${layer_SOURCES})
  oz_target_defaults(oz_${name})
  target_include_directories(oz_${name} PUBLIC ${oz_layer_root})
  target_link_libraries(oz_${name} PUBLIC ${layer_LINKS})
endfunction()
