# Keeps the source tree layered: every #include "folder/file.h" points to the file's own folder
# or to a lower layer, folders of one layer never include each other, and a Qt-free file (one
# not named *_form.* or *_qt.*, built into the core library) includes neither Qt nor a Qt file.
#
#   cmake -DSRC=<src dir> -P layers.cmake
#
# Layers, bottom up. A new folder under src/ must be given its layer here.
set(rank_link 0)     # protocol core and serial link
set(rank_sim 1)      # the simulated receiver
set(rank_widgets 1)  # small Qt controls
set(rank_console 2)  # what every window is given: the hub, the window set, the bases
set(rank_app 3)      # the window families
set(rank_config 3)
set(rank_reports 3)
set(rank_testtools 3)
set(rank_flash 3)
set(rank_program 4)  # the console program: entry, command line, the window catalogue
set(rank_cli 4)      # the vexor command-line tool

file(GLOB_RECURSE files RELATIVE ${SRC} ${SRC}/*.h ${SRC}/*.cpp)
set(problems "")
foreach(f ${files})
  get_filename_component(dir ${f} DIRECTORY)
  string(REGEX REPLACE "/.*" "" dir "${dir}")
  if(NOT DEFINED rank_${dir})
    string(APPEND problems "${f}: folder '${dir}' has no layer (give it one in tests/layers.cmake)\n")
    continue()
  endif()
  set(qtFree TRUE)
  if(f MATCHES "(_form|_qt)\\.(h|cpp)$")
    set(qtFree FALSE)
  endif()
  file(STRINGS ${SRC}/${f} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${includes})
    if(line MATCHES "#[ \t]*include[ \t]*\"([a-z_]+)/([A-Za-z0-9_]+\\.h)\"")
      set(to ${CMAKE_MATCH_1})
      set(header ${CMAKE_MATCH_2})
      if(NOT DEFINED rank_${to})
        string(APPEND problems "${f}: includes ${to}/${header} from a folder with no layer\n")
      elseif(NOT to STREQUAL dir AND NOT rank_${to} LESS rank_${dir})
        string(APPEND problems "${f}: includes ${to}/${header}, which is not below ${dir}/\n")
      endif()
      if(qtFree AND header MATCHES "(_form|_qt)\\.h$")
        string(APPEND problems "${f}: Qt-free, yet includes the Qt file ${to}/${header}\n")
      endif()
    elseif(qtFree AND line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]*)")
      string(APPEND problems "${f}: Qt-free, yet includes <${CMAKE_MATCH_1}>\n")
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "Includes that break the layers:\n${problems}")
endif()
list(LENGTH files n)
message(STATUS "layers: ${n} files, every include points down")
