# Sets echo_tools_epoch, the date that the build's artefacts carry, in
# seconds since 1970, and defines echo_tools_date(). The newest entry of
# CHANGELOG.md is headed "## VERSION (YYYY-MM-DD)", VERSION being this
# tree's; SOURCE_DATE_EPOCH, where it is set, wins.
file(STRINGS "${PROJECT_SOURCE_DIR}/CHANGELOG.md" newest REGEX "^## "
     LIMIT_COUNT 1)
string(REPLACE "~" "\\~" escaped "${echo_tools_version}")
string(REPLACE "." "\\." escaped "${escaped}")
if(NOT newest MATCHES "^## ${escaped} \\(([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])\\)$")
  message(FATAL_ERROR "CHANGELOG.md's newest entry is headed '${newest}', "
                      "not '## ${echo_tools_version} (YYYY-MM-DD)'")
endif()
# Days since 1970-01-01 of that date in the proleptic Gregorian calendar,
# counted in 400-year eras that begin on 1 March, so that a leap day falls
# at the end of its year.
math(EXPR year "${CMAKE_MATCH_1}")
math(EXPR month "${CMAKE_MATCH_2}")
math(EXPR day "${CMAKE_MATCH_3}")
if(month LESS_EQUAL 2)
  math(EXPR year "${year} - 1")
  math(EXPR month "${month} + 9")
else()
  math(EXPR month "${month} - 3")
endif()
math(EXPR era "${year} / 400")
math(EXPR of_era "${year} - ${era} * 400")
math(EXPR of_year "(153 * ${month} + 2) / 5 + ${day} - 1")
math(EXPR days
     "${era} * 146097 + ${of_era} * 365 + ${of_era} / 4 - ${of_era} / 100 + ${of_year} - 719468")
math(EXPR echo_tools_epoch "${days} * 86400")
if("$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  set(echo_tools_epoch "$ENV{SOURCE_DATE_EPOCH}")
endif()

# echo_tools_date(OUT FORMAT): that date as string(TIMESTAMP) writes FORMAT,
# in UTC. string(TIMESTAMP) reads the date only from SOURCE_DATE_EPOCH, which
# is set for the call and then put back as it was: a parent project that adds
# this one shares its environment.
function(echo_tools_date out format)
  set(saved "$ENV{SOURCE_DATE_EPOCH}")
  set(ENV{SOURCE_DATE_EPOCH} "${echo_tools_epoch}")
  string(TIMESTAMP date "${format}" UTC)
  if(saved STREQUAL "")
    unset(ENV{SOURCE_DATE_EPOCH})
  else()
    set(ENV{SOURCE_DATE_EPOCH} "${saved}")
  endif()
  set(${out} "${date}" PARENT_SCOPE)
endfunction()
