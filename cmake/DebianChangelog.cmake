# Writes CHANGELOG.md as the Debian changelog the package carries
# (usr/share/doc/ostrevin/changelog.gz), compressed as Debian wants it:
# gzip -9 without a name or time stamp, so the bytes depend on the text only.
#   cmake -DINPUT=CHANGELOG.md -DOUTPUT=changelog.gz -DPACKAGE=ostrevin
#         -DMAINTAINER="Name <address>" -P DebianChangelog.cmake
# Each "## VERSION — YYYY-MM-DD" heading becomes an entry, its "- " items
# the entry's "  * " items (continuation lines indented by two spaces stay
# continuation lines); text before the first heading is left out.

# RFC 2822 date of noon UTC on YYYY-MM-DD, as a changelog's trailer has it.
function(rfc2822_date iso out)
  string(REGEX MATCH "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$" _ "${iso}")
  if(NOT CMAKE_MATCH_0)
    message(FATAL_ERROR "${INPUT}: '${iso}' is not a YYYY-MM-DD date")
  endif()
  set(y ${CMAKE_MATCH_1})
  math(EXPR m "${CMAKE_MATCH_2} + 0")
  math(EXPR d "${CMAKE_MATCH_3} + 0")
  # Day of the week (Sakamoto): 0 is Sunday.
  set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR i "${m} - 1")
  list(GET offsets ${i} t)
  set(yy ${y})
  if(m LESS 3)
    math(EXPR yy "${y} - 1")
  endif()
  math(EXPR dow "(${yy} + ${yy} / 4 - ${yy} / 100 + ${yy} / 400 + ${t} + ${d}) % 7")
  set(days Sun Mon Tue Wed Thu Fri Sat)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET days ${dow} day)
  list(GET months ${i} month)
  set(${out} "${day}, ${d} ${month} ${y} 12:00:00 +0000" PARENT_SCOPE)
endfunction()

file(STRINGS "${INPUT}" lines ENCODING UTF-8)
set(text "")
set(entry_open OFF)
set(trailer "")
foreach(line IN LISTS lines)
  if(line MATCHES "^## ([^ ]+) — ([0-9-]+)$")
    if(entry_open)
      string(APPEND text "\n${trailer}\n\n")
    endif()
    rfc2822_date("${CMAKE_MATCH_2}" date)
    string(APPEND text "${PACKAGE} (${CMAKE_MATCH_1}) unstable; urgency=medium\n\n")
    set(trailer " -- ${MAINTAINER}  ${date}")
    set(entry_open ON)
  elseif(NOT entry_open OR line STREQUAL "")
    continue()
  elseif(line MATCHES "^- (.*)$")
    string(APPEND text "  * ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^  (.*)$")
    string(APPEND text "    ${CMAKE_MATCH_1}\n")
  else()
    message(FATAL_ERROR "${INPUT}: not an item or its continuation: '${line}'")
  endif()
endforeach()
if(NOT entry_open)
  message(FATAL_ERROR "${INPUT}: no '## VERSION — YYYY-MM-DD' heading")
endif()
string(APPEND text "\n${trailer}\n")

get_filename_component(dir "${OUTPUT}" DIRECTORY)
set(plain "${dir}/changelog")
file(WRITE "${plain}" "${text}")
execute_process(COMMAND gzip -9 -n -c "${plain}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on ${plain}")
endif()
