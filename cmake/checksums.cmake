# Writes SHA256SUMS beside the release artefacts: one line for each file that
# this run made, with its hash, sorted by name, as sha256sum -c reads them,
# and nothing else, so that the file repeats as the artefacts do.
#
# cpack runs this after each generator's package (CPACK_POST_BUILD_SCRIPTS),
# but before it copies the package into the build folder: the package is
# hashed where cpack made it, in CPACK_PACKAGE_FILES, and the lines of the
# generators before it in the same cpack run are kept in a global property,
# which lasts as long as that run. cmake/dist.cmake includes it with DIR and
# FILES, the source tarball.
if(CPACK_PACKAGE_FILES)
  set(DIR "${CPACK_PACKAGE_DIRECTORY}")
  get_property(sums GLOBAL PROPERTY ECHO_TOOLS_SHA256SUMS)
  set(FILES "${CPACK_PACKAGE_FILES}")
endif()
foreach(artefact IN LISTS FILES)
  file(SHA256 "${artefact}" sum)
  get_filename_component(name "${artefact}" NAME)
  list(APPEND sums "${name}  ${sum}")
endforeach()
set_property(GLOBAL PROPERTY ECHO_TOOLS_SHA256SUMS "${sums}")
list(SORT sums)
set(lines "")
foreach(line IN LISTS sums)
  string(REGEX REPLACE "^(.*)  ([0-9a-f]+)$" "\\2  \\1\n" line "${line}")
  string(APPEND lines "${line}")
endforeach()
file(WRITE "${DIR}/SHA256SUMS" "${lines}")
