# Copies one file the setup program carries into its payload folder (cmake -P, at build time).
#   SOURCE       the built file (a symbolic link is followed)
#   DESTINATION  the payload file
#   STRIP        the strip program; when given, the symbols no one links against and the
#                debugging information are removed
#   RUNPATH      when given, the file's run path is replaced by it ("$ORIGIN": beside the file)
# The installed copy is byte for byte this payload file.
file(REAL_PATH "${SOURCE}" source)
file(COPY_FILE "${source}" "${DESTINATION}")
if(DEFINED RUNPATH AND NOT RUNPATH STREQUAL "")
  file(RPATH_SET FILE "${DESTINATION}" NEW_RPATH "${RUNPATH}")
endif()
if(DEFINED STRIP AND NOT STRIP STREQUAL "")
  execute_process(COMMAND "${STRIP}" --strip-unneeded --remove-section=.comment --remove-section=.note "${DESTINATION}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${STRIP} could not strip ${DESTINATION}")
  endif()
endif()
