# cmake -DCHM=quillmark.chm -P CheckHelpFile.cmake: the help file is a
# compiled HTML help file holding the manual, its table of contents and
# the project's system data.
file(READ "${CHM}" head LIMIT 4 HEX)
if(NOT head STREQUAL "49545346")  # "ITSF"
    message(FATAL_ERROR "${CHM} is no compiled HTML help file (starts with ${head})")
endif()
# The directory of a .chm keeps the names uncompressed.
file(STRINGS "${CHM}" names REGEX "index\\.html|toc\\.hhc")
foreach(wanted "/index.html" "/toc.hhc")
    string(FIND "${names}" "${wanted}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${CHM} does not hold ${wanted}")
    endif()
endforeach()
