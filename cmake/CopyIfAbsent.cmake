# cmake -DSRC=... -DDST=... -P CopyIfAbsent.cmake: copies SRC to DST unless DST exists, so a
# settings file or dictionary the user saved beside the executables is never overwritten by a
# build.
if(NOT EXISTS "${DST}")
  file(COPY_FILE "${SRC}" "${DST}")
endif()
