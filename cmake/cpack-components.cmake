# Read by cpack once for each generator: the programs and manual pages go in
# every package, the Debian files only in the .deb, and LICENSE and README.md
# only in the tarball, which unpacks into a folder of its own.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL programs debian)
else()
  set(CPACK_COMPONENTS_ALL programs archive)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
