# One static library per layer (layers.txt), each linked to the layers it may use and to nothing
# above. A static library alone does not notice a call upward (the program links everything), so
# each layer is also linked whole into a small program of its own with only its own dependencies:
# a call into a higher layer then fails to link.
function(quorlix_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES")
  add_library(quorlix_${name} STATIC)
  target_include_directories(quorlix_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(quorlix_${name} PRIVATE quorlix_warnings)
  foreach(below IN LISTS arg_USES)
    target_link_libraries(quorlix_${name} PUBLIC ${below})
  endforeach()
  add_executable(quorlix_${name}_alone ${PROJECT_SOURCE_DIR}/cmake/LayerAlone.cpp)
  target_link_libraries(quorlix_${name}_alone PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,quorlix_${name}>")
endfunction()
