# Writes the shared libraries that the browser engine MODULE opens, leaves
# first, one path a line, to OUTPUT. The browser back end opens them ahead
# of the module, a few at a time (GtkBrowser.cpp). They are:
#   - what the module needs (the reverse of the order in which ldd lists it);
#   - what the engine opens when its web context readies an EGL display:
#     Mesa's EGL vendor library and its gallium driver (one file for every
#     Mesa driver, swrast_dri.so among its names), when they are beside
#     the module's libEGL. With GL that driver is open before the first
#     window (GTK chose its visual with it); without GL the web context
#     would open it on the UI thread in one go.
# Without ldd, or when it fails, the list is empty: the module then opens in
# one go.
function(list_leaves_first file out)
  execute_process(COMMAND ldd ${file} OUTPUT_VARIABLE listing RESULT_VARIABLE status ERROR_QUIET)
  set(libraries "")
  if(status EQUAL 0)
    string(REGEX MATCHALL "=> /[^ \t\n]+" found "${listing}")
    foreach(entry IN LISTS found)
      string(SUBSTRING "${entry}" 3 -1 path)
      list(PREPEND libraries "${path}")
    endforeach()
  else()
    message(WARNING "ldd ${file} failed: the browser engine's libraries are not listed")
  endif()
  set(${out} "${libraries}" PARENT_SCOPE)
endfunction()

list_leaves_first(${MODULE} libraries)
set(egl "")
foreach(path IN LISTS libraries)
  if(path MATCHES "/libEGL\\.so\\.1$")
    get_filename_component(egl "${path}" DIRECTORY)
  endif()
endforeach()
if(egl AND EXISTS "${egl}/libEGL_mesa.so.0" AND EXISTS "${egl}/dri/swrast_dri.so")
  foreach(opened "${egl}/libEGL_mesa.so.0" "${egl}/dri/swrast_dri.so")
    list_leaves_first(${opened} more)
    list(APPEND libraries ${more} ${opened})
  endforeach()
endif()
list(REMOVE_DUPLICATES libraries)
list(JOIN libraries "\n" text)
if(NOT text STREQUAL "")
  string(APPEND text "\n")
endif()
file(WRITE "${OUTPUT}.tmp" "${text}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
