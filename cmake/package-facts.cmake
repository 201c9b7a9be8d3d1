# BUILD-DIR/package-facts.json: what our own packages say of themselves, for
# distro/qa to fill into a distribution's packaging of the source tarball,
# so that the two agree without building ours. Any configure writes it; the
# dist preset's is enough.

# TEXT as a JSON string.
function(json_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "\n" "\\n" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

list(JOIN programs " " names)
set(facts "{}")
foreach(
  pair IN
  ITEMS "name=${CPACK_PACKAGE_NAME}"
        "version=${echo_tools_version}"
        "epoch=${echo_tools_epoch}"
        "maintainer=${CPACK_PACKAGE_CONTACT}"
        "section=${CPACK_DEBIAN_PACKAGE_SECTION}"
        "priority=${CPACK_DEBIAN_PACKAGE_PRIORITY}"
        "summary=${CPACK_PACKAGE_DESCRIPTION_SUMMARY}"
        "rpm_summary=${CPACK_RPM_PACKAGE_SUMMARY}"
        "license=${CPACK_RPM_PACKAGE_LICENSE}"
        "description=${description}"
        "programs=${names}")
  string(FIND "${pair}" "=" at)
  string(SUBSTRING "${pair}" 0 ${at} key)
  math(EXPR at "${at} + 1")
  string(SUBSTRING "${pair}" ${at} -1 value)
  json_string(value "${value}")
  string(JSON facts SET "${facts}" "${key}" "${value}")
endforeach()
file(WRITE "${PROJECT_BINARY_DIR}/package-facts.json" "${facts}\n")
