# pd_add_child_folders(): add_subdirectory() every child folder of the current
# source folder that has a CMakeLists.txt, in name order. Lets several areas
# (app/config, app/adb, outside/hostmark, ...) join the build without editing
# their parent.
function(pd_add_child_folders)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  list(SORT children)
  foreach(child ${children})
    get_filename_component(dir ${child} DIRECTORY)
    add_subdirectory(${dir})
  endforeach()
endfunction()
