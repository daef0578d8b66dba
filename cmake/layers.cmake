# mailsift_layer_includes(TARGET LAYER)
#
# Makes the headers of the calling folder (src/LAYER) visible as
# "LAYER/file.h", and no others: the build folder gets include/LAYER/LAYER,
# a symbolic link to the source folder, and TARGET gets include/LAYER as its
# include path (PUBLIC for a library, PRIVATE for a program). A target thus
# sees only its own headers and those of the layers it links, so a missing
# link fails the build instead of going unnoticed. The link is made again at
# every configure run, so it follows a moved source tree.
function(mailsift_layer_includes target layer)
  set(root ${CMAKE_BINARY_DIR}/include/${layer})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${layer} SYMBOLIC)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
