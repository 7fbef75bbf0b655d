# cmake -DIN=PAGE -DOUT=FILE -P web_page.cmake: the page with the web runtime included before its
# first script, so that it plays in browsers without the plug-in.
file(READ ${IN} page)
string(FIND "${page}" "<script>" at)
if(at LESS 0)
  message(FATAL_ERROR "${IN} has no <script> to put the web runtime before")
endif()
string(SUBSTRING "${page}" 0 ${at} head)
string(SUBSTRING "${page}" ${at} -1 tail)
file(WRITE ${OUT} "${head}<script src=\"klp.js\"></script>\n${tail}")
