# Writes a text file for the Windows archive, with CR LF line ends so that
# every Windows editor shows its lines:
#   cmake -DIN=FILE -DOUT=FILE [-DGROFF=PROGRAM] [-DBOM=ON] -P windows_text.cmake
# With GROFF, IN is a man page, rendered as plain ASCII text without
# overstriking; BOM=ON starts the file with the UTF-8 byte-order mark, by
# which older editors tell UTF-8 from the system's code page.
if(GROFF)
  execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou ${IN} OUTPUT_VARIABLE text
                  RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
    message(FATAL_ERROR "groff: status ${status}\n${errors}")
  endif()
else()
  file(READ ${IN} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
if(BOM)
  string(ASCII 239 187 191 bom)
  set(text "${bom}${text}")
endif()
file(WRITE ${OUT} "${text}")
