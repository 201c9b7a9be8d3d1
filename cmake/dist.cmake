# Run by the dist target (cmake -P): packs the files of the last commit, and
# nothing else, into OUTPUT, under one folder NAME/. Every entry carries the
# commit's time, the modes are 0644 and 0755 whatever the checkout's umask,
# and gzip records no name or time, so the bytes follow from the commit.
if(NOT EXISTS "${SOURCE}/.git")
  message(FATAL_ERROR "The source tarball is packed from a git checkout; "
                      "${SOURCE} is not one")
endif()
if(NOT GIT)
  message(FATAL_ERROR "The source tarball needs git (Debian: git)")
endif()
execute_process(
  COMMAND "${GIT}" -C "${SOURCE}" status --porcelain --untracked-files=no
  OUTPUT_VARIABLE changes COMMAND_ERROR_IS_FATAL ANY)
if(changes)
  message(NOTICE "Uncommitted changes are left out of the source tarball")
endif()
execute_process(
  COMMAND "${GIT}" -C "${SOURCE}" -c tar.umask=0022 archive --format=tar
          "--prefix=${NAME}/" HEAD
  COMMAND "${GZIP}" -9 -n
  OUTPUT_FILE "${OUTPUT}.part"
  COMMAND_ERROR_IS_FATAL ANY)
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
message(STATUS "Source tarball: ${OUTPUT}")
