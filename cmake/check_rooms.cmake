# The rooms' rules, checked on every build: each room of the product includes
# only its own headers and those of the rooms below it, and the companion's
# JSON reaches no text of the user interface (no view, no string table).
#
#   cmake -DSOURCE_DIR=... -DSTAMP=... -P check_rooms.cmake
cmake_policy(SET CMP0057 NEW)
set(below_image res)
set(below_loader image)
set(below_host loader image)
set(below_shell host loader image res)
set(below_cli host loader image res)
set(rooms image loader host shell cli)

set(faults "")
foreach(room ${rooms})
  file(GLOB sources ${SOURCE_DIR}/${room}/*.cpp ${SOURCE_DIR}/${room}/*.h)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^#include \"")
    get_filename_component(name ${source} NAME)
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"(\\.\\./)?([^\"]*)\".*" "\\2" header "${line}")
      if(NOT header MATCHES "/")
        continue()   # the room's own header
      endif()
      string(REGEX REPLACE "/.*" "" other "${header}")
      if(NOT other IN_LIST below_${room})
        list(APPEND faults "${room}/${name} includes ${header}: ${room}/ may use only ${below_${room}}")
      endif()
      if(room STREQUAL "cli" AND name MATCHES "^json_" AND header MATCHES "^(res/|image/views\\.h|image/row_)")
        list(APPEND faults "${room}/${name} includes ${header}: the JSON reaches no text of the user interface")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "Room rules broken:\n  ${text}")
endif()
file(WRITE ${STAMP} "rooms checked\n")
