# Writes SHA256SUMS beside the release artefacts: one line for each package
# and source tarball of this version in the folder, sorted by name, as
# sha256sum -c reads them, so that the file repeats as the artefacts do. Run
# by cpack after each generator's package (CPACK_POST_BUILD_SCRIPTS), and by
# the dist target after the source tarball, with DIR, NAME and VERSION set.
if(CPACK_PACKAGE_FILES)
  set(DIR "${CPACK_PACKAGE_DIRECTORY}")
  set(NAME "${CPACK_PACKAGE_NAME}")
  set(VERSION "${CPACK_PACKAGE_VERSION}")
endif()
file(GLOB artefacts LIST_DIRECTORIES false RELATIVE "${DIR}"
     "${DIR}/${NAME}?${VERSION}?*")
list(SORT artefacts)
set(sums "")
foreach(artefact IN LISTS artefacts)
  file(SHA256 "${DIR}/${artefact}" sum)
  string(APPEND sums "${sum}  ${artefact}\n")
endforeach()
file(WRITE "${DIR}/SHA256SUMS" "${sums}")
