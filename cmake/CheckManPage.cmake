# Checks that a program's --help and the Markdown source of its manual page
# name the same options.
#   cmake -DPROGRAM=path/to/quillmark-cli -DPAGE=docs/man/quillmark-cli.1.md -P CheckManPage.cmake
# Every option line of --help ("  /source:PATH   ...") must name a term of
# the page's OPTIONS section, and every such term must appear in --help.
# Markup is ignored: "**/source:**_PATH_" reads "/source:PATH".
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --help failed: ${result}")
endif()

file(READ ${PAGE} page)
string(REPLACE ";" "," page "${page}")
string(REGEX REPLACE "[*_]" "" page "${page}")
string(REGEX MATCH "\n# OPTIONS\n(.*)" _ "${page}")
string(REGEX REPLACE "\n# .*" "" options "${CMAKE_MATCH_1}")
string(REPLACE "\n" ";" option_lines "${options}")
set(terms)
set(previous "")
foreach(line IN LISTS option_lines)
    # A term is the line before its ":   " definition.
    if(line MATCHES "^:   " AND NOT previous STREQUAL "")
        list(APPEND terms "${previous}")
    endif()
    set(previous "${line}")
endforeach()
if(NOT terms)
    message(FATAL_ERROR "${PAGE}: no terms in its OPTIONS section")
endif()

set(problems "")
string(REPLACE ";" "," help_text "${help}")
string(REPLACE "\n" ";" help_lines "${help_text}")
foreach(line IN LISTS help_lines)
    if(line MATCHES "^  ([^ ]+)")
        list(FIND terms "${CMAKE_MATCH_1}" found)
        if(found EQUAL -1)
            string(APPEND problems "  --help names ${CMAKE_MATCH_1}, the page's OPTIONS do not\n")
        endif()
    endif()
endforeach()
foreach(term IN LISTS terms)
    string(FIND "${help_text}" "${term}" found)
    if(found EQUAL -1)
        string(APPEND problems "  the page names ${term}, --help does not\n")
    endif()
endforeach()
if(problems)
    message(FATAL_ERROR "${PAGE} and ${PROGRAM} --help disagree:\n${problems}")
endif()
message(STATUS "${PAGE}: ${terms}")
