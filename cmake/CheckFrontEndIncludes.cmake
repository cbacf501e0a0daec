# cmake -DFRONT_END=NAME -DSOURCE_DIR=src/app -DSTAMP=FILE -P this
# Fails when a file of src/app/NAME includes a header of src/app outside its
# own folder and runtime/ (another front end, or the entry).
file(GLOB_RECURSE files ${SOURCE_DIR}/${FRONT_END}/*.cpp ${SOURCE_DIR}/${FRONT_END}/*.h)
set(bad "")
foreach(file IN LISTS files)
  file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"app/")
  foreach(line IN LISTS includes)
    if(NOT line MATCHES "\"app/(${FRONT_END}|runtime)/")
      string(APPEND bad "\n  ${file}: ${line}")
    endif()
  endforeach()
endforeach()
if(bad)
  message(FATAL_ERROR "src/app/${FRONT_END} may include only its own and runtime/ headers:${bad}")
endif()
file(TOUCH ${STAMP})
