# Installing and packaging. On Linux: the tools, their manual pages and the copyright file in
# GNU directories, and a Debian package of them (cpack --preset linux). For Windows: a zip of
# the programs beside the README, the licence and the manual pages as HTML (cpack --preset
# windows).
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(tools decipher encipher crack)
set(doc_dir ${PROJECT_BINARY_DIR}/doc)
file(MAKE_DIRECTORY ${doc_dir})

if(WIN32)
  install(TARGETS ${tools} RUNTIME DESTINATION .)
  install(FILES README.md LICENSE DESTINATION .)
  install(FILES examples/Crypt.txt examples/plain-utf8.txt DESTINATION examples)
  # Rendered at build time, so only a packaging build needs mandoc.
  find_program(MANDOC mandoc)
  if(MANDOC)
    set(pages)
    foreach(tool IN LISTS tools)
      add_custom_command(
        OUTPUT ${doc_dir}/${tool}.html
        COMMAND ${MANDOC} -T html -I "os=${PROJECT_NAME} ${PROJECT_VERSION}" -O man=%N.html
                ${PROJECT_SOURCE_DIR}/man/${tool}.1 > ${doc_dir}/${tool}.html
        DEPENDS man/${tool}.1
        VERBATIM)
      list(APPEND pages ${doc_dir}/${tool}.html)
    endforeach()
    add_custom_target(docs ALL DEPENDS ${pages})
    install(FILES ${pages} DESTINATION .)
  else()
    message(WARNING "mandoc not found: the Windows package will lack the manual pages")
  endif()
else()
  install(TARGETS ${tools} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Compressed without name or time stamp, so the package's bytes depend on the text alone.
  set(gzipped)
  foreach(source IN ITEMS man/decipher.1 man/encipher.1 man/crack.1 cmake/changelog)
    cmake_path(GET source FILENAME name)
    add_custom_command(
      OUTPUT ${doc_dir}/${name}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${source} ${doc_dir}/${name}
      COMMAND gzip -9nf ${doc_dir}/${name}
      DEPENDS ${source}
      VERBATIM)
    list(APPEND gzipped ${doc_dir}/${name}.gz)
  endforeach()
  add_custom_target(docs ALL DEPENDS ${gzipped})
  list(POP_BACK gzipped changelog)
  install(FILES ${gzipped} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # The shipped example: a ciphertext (key ЗАГАДКА) and its plaintext.
  install(FILES examples/Crypt.txt examples/plain-utf8.txt
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  file(STRINGS cmake/changelog top LIMIT_COUNT 1)
  if(NOT top MATCHES "^${PROJECT_NAME} \\(${PROJECT_VERSION}\\)")
    message(WARNING "cmake/changelog has no entry for ${PROJECT_VERSION} at its top")
  endif()

  # Debian's machine-readable copyright file, its licence text taken from LICENSE.
  file(READ LICENSE license)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${license}")
  set(copyright_holder "${CMAKE_MATCH_1}")
  string(FIND "${license}" "Permission" start)
  string(SUBSTRING "${license}" ${start} -1 license)
  string(STRIP "${license}" license)
  string(REPLACE "\n\n" "\n.\n" license "${license}")
  string(REPLACE "\n" "\n " license_text " ${license}")
  configure_file(cmake/copyright.in ${doc_dir}/copyright @ONLY)
  install(FILES ${doc_dir}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "keyed columnar transposition of Windows-1251 Cyrillic text")
set(CPACK_PACKAGE_DESCRIPTION
    "Three tools for a keyed columnar transposition of the Cyrillic letters of
Windows-1251 or UTF-8 text, in files named on the command line (Crypt.txt,
Decrypt.txt and Plain.txt in the current directory by default) or in a
pipeline: decipher undoes it with a key word, encipher makes it, and crack
finds the key from the ciphertext alone with a model of Russian text. An
example ciphertext and its plaintext are in /usr/share/doc/decipher/examples.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The same as in cmake/changelog.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
    "decipher maintainers <maintainers@users.noreply.c-seed-93760e74.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
