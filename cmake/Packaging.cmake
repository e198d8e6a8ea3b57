# What the Debian package carries besides the programs: the copyright file
# made from LICENSE, the changelog made from CHANGELOG.md, and stripped
# binaries (the build folder keeps its symbols). `cpack -G DEB` in a build
# folder makes the package of what `cmake --install` puts in place.

set(quillmark_maintainer "The Quillmark authors <quillmark@example.org>")
set(quillmark_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quillmark)

# The machine-readable copyright file: LICENSE's text as its licence
# paragraph.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license_text)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${license_text}")
set(copyright_holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^MIT License\n\nCopyright[^\n]*\n\n" "" license_body "${license_text}")
string(STRIP "${license_body}" license_body)
string(REGEX REPLACE "\n\n" "\n.\n" license_body "${license_body}")
string(REGEX REPLACE "\n" "\n " license_body "${license_body}")
file(WRITE ${PROJECT_BINARY_DIR}/debian/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Quillmark
Upstream-Contact: ${quillmark_maintainer}
Source: https://github.com/quillmark/quillmark

Files: *
Copyright: ${copyright_holder}
License: MIT

License: MIT
 ${license_body}
")
install(FILES ${PROJECT_BINARY_DIR}/debian/copyright DESTINATION ${quillmark_doc_dir})

# The changelog of a native package is changelog.gz.
set(changelog ${PROJECT_BINARY_DIR}/debian/changelog)
add_custom_command(OUTPUT ${changelog}.gz
    COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/CHANGELOG.md -DOUTPUT=${changelog}
            -DPACKAGE=quillmark "-DMAINTAINER=${quillmark_maintainer}"
            -P ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
    COMMAND gzip -9nf ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
    COMMENT "Generating the Debian changelog from CHANGELOG.md"
    VERBATIM)
add_custom_target(quillmark_changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${changelog}.gz DESTINATION ${quillmark_doc_dir})

set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR "The Quillmark authors")
set(CPACK_PACKAGE_CONTACT "${quillmark_maintainer}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Quotes the chosen columns of a CSV file")
# Lines of at most 80 characters: the control file's description.
set(CPACK_PACKAGE_DESCRIPTION "Rewrites a CSV file so that every field of the chosen columns is enclosed
in double quotation marks, and writes every other field as it was read.
The source's encoding is detected (UTF-8, UTF-16, UTF-32, Shift_JIS,
EUC-JP, ISO-2022-JP); the target is written in the ANSI code page or UTF-8.
A desktop program with a Japanese interface, and a console program.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/quillmark/quillmark)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-noto-cjk | fonts-ipafont-gothic")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
