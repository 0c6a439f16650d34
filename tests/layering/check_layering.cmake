# The ctest case "layering": fails when a file of a target built from src/ includes a header
# of a target it does not link (directly or through others), such as data access including a
# run's header or the window's. Reads the table cmake/DsadminLayering.cmake wrote at configure
# time; names each wrong-way include. With INCLUDE, also checks that each target's include
# folder holds links to exactly the headers the table allows it, so that the compiler refuses
# what this check refuses.
#   cmake -DLAYERING=<build>/layering.txt -DSRC=<source>/src [-DINCLUDE=<build>/include]
#         -P check_layering.cmake

cmake_minimum_required(VERSION 3.22)
file(STRINGS ${LAYERING} lines)
set(wrong 0)
set(checked 0)
foreach(line ${lines})
  string(REPLACE "|" ";" parts "${line}")
  list(GET parts 0 target)
  list(GET parts 1 own)
  list(GET parts 2 allowed)
  string(REPLACE "," ";" own "${own}")
  string(REPLACE "," ";" allowed "${allowed}")
  foreach(f ${own})
    file(STRINGS ${SRC}/${f} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(inc ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" header "${inc}")
      math(EXPR checked "${checked} + 1")
      # Only the project's own headers count; generated ones (Version.h) are everybody's.
      if(NOT EXISTS ${SRC}/${header} OR header IN_LIST allowed)
        continue()
      endif()
      message("${target}: ${f} includes ${header}, which belongs to no target it links")
      math(EXPR wrong "${wrong} + 1")
    endforeach()
  endforeach()
  if(DEFINED INCLUDE)
    set(headers ${allowed})
    list(FILTER headers INCLUDE REGEX "\\.h$")
    file(GLOB_RECURSE linked RELATIVE ${INCLUDE}/${target} ${INCLUDE}/${target}/*)
    set(extra ${linked})
    list(REMOVE_ITEM extra ${headers})
    set(missing ${headers})
    list(REMOVE_ITEM missing ${linked})
    if(extra OR missing)
      message("${target}: include/${target} also holds \"${extra}\" and lacks \"${missing}\"")
      math(EXPR wrong "${wrong} + 1")
    endif()
  endif()
endforeach()
list(LENGTH lines targets)
if(wrong GREATER 0)
  message(FATAL_ERROR "${wrong} wrong-way includes or include folders")
endif()
message("layering: ${checked} includes of ${targets} targets, none the wrong way")
