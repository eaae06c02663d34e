# copy_beside_program(<target> <folder> <files...>): a custom target that copies each file into <folder> beside
# the program (in the runtime output folder). A file is copied again only when its source changes, so a file the
# program rewrites at run time (the language choice) survives a rebuild.
function(copy_beside_program target folder)
  set(outputs)
  foreach(source IN LISTS ARGN)
    get_filename_component(name ${source} NAME)
    set(output ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${folder}/${name})
    add_custom_command(OUTPUT ${output}
                       COMMAND ${CMAKE_COMMAND} -E copy ${source} ${output}
                       DEPENDS ${source}
                       COMMENT "Copying ${folder}/${name}")
    list(APPEND outputs ${output})
  endforeach()
  add_custom_target(${target} DEPENDS ${outputs})
endfunction()
