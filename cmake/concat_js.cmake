# cmake -DOUT=FILE -DIN="A;B;..." -P concat_js.cmake: the files one after the other inside one
# function scope, so that the host's names stay out of the page's.
set(text "// The web runtime's host: the browser's part for the plug-in module.\n(function () {\n'use strict';\n")
foreach(f ${IN})
  file(READ ${f} part)
  string(APPEND text "${part}\n")
endforeach()
string(APPEND text "})();\n")
file(WRITE ${OUT} "${text}")
