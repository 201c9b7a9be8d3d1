# Run by the dist target (cmake -P): packs the files of the last commit, and
# nothing else, into DIR/NAME.tar.gz, under one folder NAME/, and writes
# DIR/SHA256SUMS for it. Every entry carries the commit's time, the modes are
# 0644 and 0755 whatever the checkout's umask, and gzip records no name or
# time, so the bytes follow from the commit.
#
# NAME is PACKAGE-VERSION for a release, whose VERSION has no "~dev"
# (CMakeLists.txt), in any clone, tagged or not; between releases it names
# the commit too, PACKAGE-VERSION+gCOMMIT (echo-tools-1.4.0~dev+g8f88507),
# so that two different tarballs never share a name.
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
  COMMAND "${GIT}" -C "${SOURCE}" rev-parse --short HEAD
  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
if(VERSION MATCHES "~dev$")
  set(NAME "${PACKAGE}-${VERSION}+g${commit}")
else()
  set(NAME "${PACKAGE}-${VERSION}")
endif()
set(OUTPUT "${DIR}/${NAME}.tar.gz")
execute_process(
  COMMAND "${GIT}" -C "${SOURCE}" -c tar.umask=0022 archive --format=tar
          "--prefix=${NAME}/" HEAD
  COMMAND "${GZIP}" -9 -n
  OUTPUT_FILE "${OUTPUT}.part"
  COMMAND_ERROR_IS_FATAL ANY)
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
message(STATUS "Source tarball: ${OUTPUT}")
set(FILES "${OUTPUT}")
include("${CMAKE_CURRENT_LIST_DIR}/checksums.cmake")
