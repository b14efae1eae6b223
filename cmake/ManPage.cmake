cmake_minimum_required(VERSION 3.25)
# Writes one manual page from doc/hoardwise.1.in, gzip'd as Debian installs them:
#   cmake -DSOURCE=... -DPAGE=hoardwise|hoardwise-cli -DVERSION=... -DOUTPUT=.../PAGE.1.gz
#         -P ManPage.cmake
# Lines between ".\" @window" and ".\" @end" belong to hoardwise(1) alone, those between
# ".\" @cli" and ".\" @end" to hoardwise-cli(1) alone.
if(PAGE STREQUAL "hoardwise")
    set(own window)
else()
    set(own cli)
endif()
# A list of lines: ";", "[" and "]", which a list would take for its own, stand aside until the
# end.
file(READ "${SOURCE}" lines)
set(HW_SEMICOLON ";")
set(HW_OPEN "[")
set(HW_CLOSE "]")
string(REPLACE ";" "@HW_SEMICOLON@" lines "${lines}")
string(REPLACE "[" "@HW_OPEN@" lines "${lines}")
string(REPLACE "]" "@HW_CLOSE@" lines "${lines}")
string(REPLACE "\n" ";" lines "${lines}")
set(text "")
set(block "")
foreach(line IN LISTS lines)
    if(line MATCHES "^\\.\\\\\" @(window|cli)$")
        set(block "${CMAKE_MATCH_1}")
    elseif(line STREQUAL ".\\\" @end")
        set(block "")
    elseif(line STREQUAL "" OR line MATCHES "^\\.\\\\\"")
        # The source's comments are no part of the pages.
    elseif(block STREQUAL "" OR block STREQUAL own)
        string(APPEND text "${line}\n")
    endif()
endforeach()
string(TOUPPER "${PAGE}" PAGE_UPPER)
string(CONFIGURE "${text}" text @ONLY)
get_filename_component(plain "${OUTPUT}" NAME_WLE)
get_filename_component(folder "${OUTPUT}" DIRECTORY)
file(WRITE "${folder}/${plain}" "${text}")
# -n leaves out the name and time, so the same source gives the same bytes.
execute_process(COMMAND gzip -9nf "${folder}/${plain}" RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "gzip ${folder}/${plain} failed")
endif()
