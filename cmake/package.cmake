# The release artefacts, all made by cpack --preset release (or
# release-cross), with SHA256SUMS beside them (cmake/checksums.cmake):
# - echo-tools_VERSION_ARCH.deb, which lintian passes;
# - echo-tools-VERSION-1.ARCH.rpm, which rpmlint passes with rpmlintrc;
# - echo-tools-VERSION-linux-ARCH.tar.gz: bin/, the manual pages, LICENSE and
#   README.md.
# A Windows build makes one package instead:
# - echo-tools-VERSION-windows-x86_64.zip: bin\*.exe, each manual page as
#   plain text in doc\, LICENSE and README.md, dated as the others; the zip
#   stores local times, so it is packed under TZ=UTC, whatever the builder's
#   zone (cmake/cpack-per-generator.cmake).
# With SOURCE_DATE_EPOCH set when configuring and packaging, each is the same
# bytes in any folder and under any umask. The source tarball is made by the
# dist target (see the end of this file).

# The packages are named after the machine the programs are built for, never
# the one that builds them: CMAKE_SYSTEM_PROCESSOR is the target's, set by the
# cross toolchain. Debian, RPM and the tarball name some architectures
# differently; cmake/architectures.txt holds the names of each.
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" processor)
if(processor STREQUAL "x86_64" AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(processor i686) # -m32 on an x86-64 system
endif()
include("${PROJECT_SOURCE_DIR}/cmake/architectures.cmake")
architecture(processor "${processor}")
if(NOT arch_rpm)
  set(arch_rpm "${processor}")
endif()
# A value given on the command line wins.
if(NOT DEFINED CPACK_DEBIAN_PACKAGE_ARCHITECTURE AND arch_debian)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${arch_debian}")
elseif(NOT DEFINED CPACK_DEBIAN_PACKAGE_ARCHITECTURE AND CMAKE_CROSSCOMPILING)
  # cpack would ask dpkg, which names the build machine: making the .deb
  # stops instead (cmake/cpack-per-generator.cmake).
  set(CPACK_ECHO_TOOLS_UNNAMED_TARGET "${processor}")
endif()
if(NOT DEFINED CPACK_RPM_PACKAGE_ARCHITECTURE)
  set(CPACK_RPM_PACKAGE_ARCHITECTURE "${arch_rpm}")
endif()

set(CPACK_PACKAGE_NAME "echo-tools")
set(CPACK_PACKAGE_VERSION "${echo_tools_version}")
set(CPACK_PACKAGE_VENDOR "The echo_tools authors")
set(CPACK_PACKAGE_CONTACT "echo_tools developers <echo-tools@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "write command-line operands, or their byte count, exactly as given")
# What cpack makes, with or without a preset; without a list of its own it
# would make STGZ, TGZ and TZ. The RPM generator needs rpmbuild, so without
# it the .rpm is left out, and its checks say so.
find_program(RPMBUILD_PROGRAM rpmbuild)
if(WIN32)
  set(system windows)
  set(CPACK_GENERATOR ZIP)
elseif(RPMBUILD_PROGRAM)
  set(system linux)
  set(CPACK_GENERATOR DEB RPM TGZ)
else()
  set(system linux)
  set(CPACK_GENERATOR DEB TGZ)
  message(STATUS "rpmbuild not found, so cpack makes no .rpm "
                 "(Debian/Ubuntu: apt-get install rpm)")
endif()
set(CPACK_PACKAGE_FILE_NAME
    "echo-tools-${echo_tools_version}-${system}-${arch_rpm}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
# The staged directories, and the .deb's members, are otherwise packed with
# the modes that the builder's umask gave them.
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/staged-modes.cmake")
set(CPACK_POST_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/deb-modes.cmake"
                              "${PROJECT_SOURCE_DIR}/cmake/checksums.cmake")
# One package per generator, each made of the programs and that generator's
# own extra files (see below and cmake/cpack-per-generator.cmake).
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
# cpack dates what it packs by SOURCE_DATE_EPOCH, else by the time of
# packing; that file sets it to the build's date where the caller has not.
set(CPACK_ECHO_TOOLS_EPOCH "${echo_tools_epoch}")
set(CPACK_PROJECT_CONFIG_FILE
    "${PROJECT_SOURCE_DIR}/cmake/cpack-per-generator.cmake")
# One source format, which that file refuses (see the dist target below).
set(CPACK_SOURCE_GENERATOR TGZ)

# The summary above is the packages' one-line description; this is the long
# one: a line for each program, taken from its manual page's NAME, then what
# holds for all of them.
set(description "")
foreach(program IN LISTS programs)
  file(STRINGS "${PROJECT_SOURCE_DIR}/man/${program}.1.in" whatis
       REGEX "^${program} \\\\- ")
  string(REGEX REPLACE "^${program} \\\\- " "" whatis "${whatis}")
  string(APPEND description "${program}: ${whatis}.\n")
endforeach()
string(APPEND description
       "None of them interprets its operands: -n, -e, --help, backslashes
and bytes above 0x7F are copied exactly as given, unlike the shell's echo,
whose handling of these differs between shells and systems.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${description}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")

# The .rpm: echo-tools-VERSION-1.ARCH.rpm, as RPM names packages. It has no
# home page to give as URL yet.
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE "MIT")
set(CPACK_RPM_PACKAGE_GROUP "Applications/Text")
# RPM summaries begin with a capital, Debian's do not.
string(SUBSTRING "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}" 0 1 first)
string(SUBSTRING "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}" 1 -1 rest)
string(TOUPPER "${first}" first)
set(CPACK_RPM_PACKAGE_SUMMARY "${first}${rest}")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${description}")
# The licence goes where RPM-based systems keep licences, marked as one. The
# system owns the directories the package installs into.
set(licences "${CMAKE_INSTALL_DATAROOTDIR}/licenses")
set(CPACK_RPM_USER_FILELIST
    "%license /usr/${licences}/${CPACK_PACKAGE_NAME}/LICENSE")
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    "/usr/${CMAKE_INSTALL_MANDIR}" "/usr/${CMAKE_INSTALL_MANDIR}/man1"
    "/usr/${licences}")
# xz at a fixed level, whatever the builder's rpm would choose, so that the
# package repeats and older rpm can read it.
set(CPACK_RPM_COMPRESSION_TYPE xz)
# - The packager is named, as rpmlint asks.
# - The build time is SOURCE_DATE_EPOCH, and the build host is not recorded,
#   so that the package repeats.
# - rpmbuild's own finishing steps are replaced by one that dates every file
#   by the commit, as the .deb and the tarball do: clamping alone would keep
#   the date of a source file older than that, which differs between
#   checkouts. cpack has already stripped the programs with the target's
#   strip (the build machine's cannot be relied on for another
#   architecture), and the manual pages are already compressed.
# - No links under /usr/lib/.build-id, which some builders' rpm would add:
#   the package holds the same files wherever it is made.
set(CPACK_RPM_SPEC_MORE_DEFINE
    "%define packager ${CPACK_PACKAGE_CONTACT}
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1
%define _buildhost reproducible
%define __spec_install_post find %{buildroot} -exec touch -h -d @${echo_tools_epoch} {} +
%define _build_id_links none")

set(debian "${PROJECT_BINARY_DIR}/debian")
set(doc "${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_PACKAGE_NAME}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${PROJECT_SOURCE_DIR}/LICENSE" "${PROJECT_SOURCE_DIR}/CHANGELOG.md"
  "${PROJECT_SOURCE_DIR}/rpmlintrc")

# copyright, in Debian's machine-readable format, made from LICENSE: its
# copyright line, then its permission text as the Expat licence.
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)\n\n(.*)" licence "${licence}")
set(holder "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" terms)
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms "${terms}")
set(copyright "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}

Files: *
Copyright: ${holder}
License: Expat
 ${terms}
")
file(WRITE "${debian}/copyright" "${copyright}")

# changelog.gz, in Debian's format, made from the newest CHANGELOG.md entry,
# dated as the manual pages are (cmake/date.cmake).
file(READ "${PROJECT_SOURCE_DIR}/CHANGELOG.md" notes)
# The newest entry, whose heading cmake/date.cmake has checked.
string(REGEX MATCH "\n## [^\n]*\n(.*)" entry "${notes}")
string(REGEX REPLACE "\n## .*" "" entry "${CMAKE_MATCH_1}")
string(STRIP "${entry}" entry)
string(REPLACE "`" "" entry "${entry}")
string(REGEX REPLACE "(^|\n)- " "\\1  * " entry "${entry}")
string(REGEX REPLACE "\n  ([^ *])" "\n    \\1" entry "${entry}")
echo_tools_date(date "%a, %d %b %Y %H:%M:%S +0000")
file(WRITE "${debian}/changelog"
     "${CPACK_PACKAGE_NAME} (${echo_tools_version}) unstable; urgency=medium\n\n"
     "${entry}\n\n -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")
execute_process(COMMAND "${GZIP_PROGRAM}" -9 -n -f "${debian}/changelog"
                COMMAND_ERROR_IS_FATAL ANY)

install(FILES "${debian}/copyright" "${debian}/changelog.gz"
        DESTINATION "${doc}" COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" "${PROJECT_SOURCE_DIR}/README.md"
        DESTINATION . COMPONENT archive EXCLUDE_FROM_ALL)
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE"
        DESTINATION "${licences}/${CPACK_PACKAGE_NAME}" COMPONENT rpm
        EXCLUDE_FROM_ALL)

if(WIN32)
  # Windows has no man: the zip carries each page rendered as plain text,
  # ASCII without terminal codes or overstriking, for any text editor.
  find_program(GROFF_PROGRAM groff REQUIRED)
  set(texts "")
  foreach(program IN LISTS programs)
    set(text "${PROJECT_BINARY_DIR}/doc/${program}.txt")
    add_custom_command(
      OUTPUT "${text}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/doc"
      COMMAND "${GROFF_PROGRAM}" -man -Tascii -P-cbou
              "${PROJECT_BINARY_DIR}/man/${program}.1" > "${text}"
      DEPENDS "${PROJECT_BINARY_DIR}/man/${program}.1"
      COMMENT "Rendering the manual page of ${program} as text")
    list(APPEND texts "${text}")
  endforeach()
  add_custom_target(echo_tools_text_man ALL DEPENDS ${texts})
  install(FILES ${texts} DESTINATION doc COMPONENT text_man EXCLUDE_FROM_ALL)
endif()

# The filters for rpmlint -r BUILD-DIR/rpmlintrc: those of rpmlintrc, which
# hold for any build of the package, and for static programs the two below.
file(READ "${PROJECT_SOURCE_DIR}/rpmlintrc" rpmlint_filters)
if(ECHO_TOOLS_LINKED_STATICALLY)
  # The checkers say that statically linked programs are wrong for a
  # distribution; this package's are so by choice.
  string(CONCAT why "Static on purpose: with no loader work the programs "
         "start faster, and their only input is the caller's own arguments.")
  file(WRITE "${debian}/echo-tools"
       "# ${why}\necho-tools: statically-linked-binary\n")
  install(FILES "${debian}/echo-tools"
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides"
          COMPONENT debian EXCLUDE_FROM_ALL)
  string(APPEND rpmlint_filters "
# ${why}
# Nor are they position-independent: a static PIE relocates itself at every
# start.
addFilter(r\"statically-linked-binary /usr/bin/[^/]+$\")
addFilter(r\"position-independent-executable-suggested /usr/bin/[^/]+$\")
")

  # Statically linked programs need nothing from the system, not even libc.
  # Debian asks such a package to name the sources of what it embeds: the C
  # library, and GCC's C++ and support libraries. Each is the source of the
  # package that owns the very file linked, asked by its name with the
  # architecture (libc6-dev:amd64): by the bare name, dpkg-query answers for
  # every architecture installed. A cross build's libraries belong to the
  # cross toolchain's packages, of architecture all.
  find_program(DPKG_QUERY dpkg-query)
  set(sources "")
  if(DPKG_QUERY)
    foreach(library IN ITEMS libc.a libstdc++.a libgcc.a libgcc_eh.a)
      execute_process(
        COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${library}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
      file(REAL_PATH "${path}" path)
      execute_process(COMMAND "${DPKG_QUERY}" -S "${path}"
                      OUTPUT_VARIABLE owner ERROR_QUIET RESULT_VARIABLE failed)
      if(failed)
        continue()
      endif()
      # "libc6-dev:amd64: /usr/lib/x86_64-linux-gnu/libc.a"; the first owner
      # where several share the file.
      string(REGEX REPLACE ": /.*" "" owner "${owner}")
      string(REGEX REPLACE ",.*" "" owner "${owner}")
      execute_process(
        COMMAND "${DPKG_QUERY}" -W "-f=\${source:Package} (= \${source:Version})"
                "${owner}"
        OUTPUT_VARIABLE source ERROR_QUIET RESULT_VARIABLE failed)
      if(NOT failed)
        list(APPEND sources "${source}")
      endif()
    endforeach()
    list(REMOVE_DUPLICATES sources)
    list(SORT sources)
  endif()
  if(sources)
    # CPack has no Built-Using field (CMake 3.25 on Debian 12, 3.31 on Debian
    # 13), but writes Source verbatim, so the field follows it on the next
    # line. The test package.deb_fields reads both fields back from the .deb.
    list(JOIN sources ", " built_using)
    set(CPACK_DEBIAN_PACKAGE_SOURCE
        "${CPACK_PACKAGE_NAME}\nBuilt-Using: ${built_using}")
  endif()
else()
  # dpkg-shlibdeps works out the libraries the programs need.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
file(WRITE "${PROJECT_BINARY_DIR}/rpmlintrc" "${rpmlint_filters}")
include("${PROJECT_SOURCE_DIR}/cmake/package-facts.cmake")

include(CPack)

# The source tarball, in the build folder: exactly the files of the last
# commit, made with git archive and named for that commit (cmake/dist.cmake),
# with a SHA256SUMS of its own. CPack's own source package is refused in
# cmake/cpack-per-generator.cmake.
find_package(Git QUIET)
add_custom_target(
  dist
  COMMAND
    "${CMAKE_COMMAND}" "-DGIT=${GIT_EXECUTABLE}" "-DGZIP=${GZIP_PROGRAM}"
    "-DSOURCE=${PROJECT_SOURCE_DIR}" "-DPACKAGE=${CPACK_PACKAGE_NAME}"
    "-DVERSION=${echo_tools_version}" "-DDIR=${PROJECT_BINARY_DIR}"
    -P "${PROJECT_SOURCE_DIR}/cmake/dist.cmake"
  VERBATIM)
