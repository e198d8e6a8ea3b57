# cmake -DMANUAL=index.html -DFOLDER=out -P MakeHelpProject.cmake
# Writes the HTML help project of the manual into FOLDER: the manual itself,
# a table of contents from its numbered <h2 id="..."> headings, and the
# project file chmcmd compiles into quillmark.chm.
file(READ "${MANUAL}" html)
file(MAKE_DIRECTORY "${FOLDER}")
configure_file("${MANUAL}" "${FOLDER}/index.html" COPYONLY)

set(entries "")
string(REGEX MATCHALL "<h2 id=\"[^\"]+\">[^<]+" headings "${html}")
foreach(heading IN LISTS headings)
    string(REGEX REPLACE "<h2 id=\"([^\"]+)\">(.+)" "\\1" anchor "${heading}")
    string(REGEX REPLACE "<h2 id=\"([^\"]+)\">(.+)" "\\2" title "${heading}")
    string(APPEND entries "  <LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"${title}\">"
                          "<param name=\"Local\" value=\"index.html#${anchor}\"></OBJECT>\n")
endforeach()

file(WRITE "${FOLDER}/toc.hhc" "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">
<HTML><HEAD><meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\"></HEAD><BODY>
<OBJECT type=\"text/site properties\"><param name=\"ImageType\" value=\"Folder\"></OBJECT>
<UL>
  <LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Quillmark 取扱説明書\"><param name=\"Local\" value=\"index.html\"></OBJECT>
  <UL>
${entries}  </UL>
</UL>
</BODY></HTML>
")

file(WRITE "${FOLDER}/quillmark.hhp" "[OPTIONS]
Compatibility=1.1 or later
Compiled file=quillmark.chm
Contents file=toc.hhc
Default topic=index.html
Display compile progress=No
Language=0x411 Japanese
Title=Quillmark

[FILES]
index.html
")
