# Run by cpack before it packs what it has staged (CPACK_PRE_BUILD_SCRIPTS):
# every staged directory gets mode 0755, as the packages store it. CMake
# makes the directories that it installs into with mkdir, which the
# builder's umask trims even where CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
# asks for 0755 (seen with CMake 3.25 on Debian 12; Debian 13's 3.31 not yet
# tried): under umask 027 the .deb, the .rpm, the tarball and the zip held
# them as 0750, under 077 as 0700, and lintian refused the .deb. The files'
# own modes are left as install() set them.
file(CHMOD_RECURSE "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY_PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
     WORLD_EXECUTE)
