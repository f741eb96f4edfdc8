# Writes a corrected copy of the CHM project writer unit of Free Pascal into OUT_DIR.
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
