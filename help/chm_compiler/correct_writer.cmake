# SPDX-License-Identifier: GPL-3.0-or-later
# Writes corrected copies of two CHM writer units of Free Pascal (chmfilewriter, chmwriter) into OUT_DIR.
#
# The writer of fpc 3.2.2 puts the full path of the project folder in front of each topic of the
# context map, so a help viewer looks for a topic named like "/home/.../page.html" inside the file
# and finds nothing, and the build folder leaks into the help file. The copy maps each context to
# the topic's name inside the file, as the [FILES] section gives it.
#
# cmake -DWRITER_SOURCE=<chmfilewriter.pas> -DOUT_DIR=<folder> -P correct_writer.cmake

file(READ "${WRITER_SOURCE}" text)
set(faulty "Writer.AddContext(nd.ContextNumber,IncludeTrailingPathDelimiter(FBasePath)+files[i]);")
set(mended "Writer.AddContext(nd.ContextNumber,files[i]);")
string(FIND "${text}" "${faulty}" first)
string(FIND "${text}" "${faulty}" last REVERSE)
if(first EQUAL -1 OR NOT first EQUAL last)
  message(FATAL_ERROR "${WRITER_SOURCE}: the context map call to correct was not found exactly once")
endif()
string(REPLACE "${faulty}" "${mended}" text "${text}")
file(MAKE_DIRECTORY "${OUT_DIR}")
file(WRITE "${OUT_DIR}/chmfilewriter.pas" "${text}")

# The CHM writer unit stamps the file with the time of day of the build. The corrected copy takes
# that time from SOURCE_DATE_EPOCH when it is set, so that a build of the same sources gives the
# same help file byte for byte.
get_filename_component(source_folder "${WRITER_SOURCE}" DIRECTORY)
file(READ "${source_folder}/chmwriter.pas" text)
set(faulty "MilliSecondOfTheDay(Now)")
set(mended "MilliSecondOfTheDay(UnixToDateTime(StrToInt64Def(GetEnvironmentVariable('SOURCE_DATE_EPOCH'), DateTimeToUnix(Now))))")
string(REGEX MATCHALL "MilliSecondOfTheDay\\(Now\\)" stamps "${text}")
list(LENGTH stamps count)
if(NOT count EQUAL 2)
  message(FATAL_ERROR "${source_folder}/chmwriter.pas: expected the time stamp twice, found it ${count} times")
endif()
string(REPLACE "${faulty}" "${mended}" text "${text}")
file(WRITE "${OUT_DIR}/chmwriter.pas" "${text}")
