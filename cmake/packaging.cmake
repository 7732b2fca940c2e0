# Installing and packaging. On Linux: the tools, their manual pages in English and Russian and
# the copyright file in GNU directories, and a Debian package of them (cpack --preset linux).
# For Windows: a zip of the programs beside the README, the licence and the manual pages in
# both languages as HTML (cpack --preset windows).
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
  # Rendered at build time, so only a packaging build needs mandoc. The Russian pages beside
  # the English ones, as NAME.ru.html.
  find_program(MANDOC mandoc)
  if(MANDOC)
    set(pages)
    foreach(tool IN LISTS tools)
      foreach(lang IN ITEMS en ru)
        if(lang STREQUAL "en")
          set(source man/${tool}.1)
          set(page ${doc_dir}/${tool}.html)
          set(links %N.html)
        else()
          set(source man/${lang}/${tool}.1)
          set(page ${doc_dir}/${tool}.${lang}.html)
          set(links %N.${lang}.html)
        endif()
        add_custom_command(
          OUTPUT ${page}
          COMMAND ${MANDOC} -T html -I "os=${PROJECT_NAME} ${PROJECT_VERSION}" -O man=${links}
                  ${PROJECT_SOURCE_DIR}/${source} > ${page}
          DEPENDS ${source}
          VERBATIM)
        list(APPEND pages ${page})
      endforeach()
    endforeach()
    add_custom_target(docs ALL DEPENDS ${pages})
    install(FILES ${pages} DESTINATION .)
  else()
    message(WARNING "mandoc not found: the Windows package will lack the manual pages")
  endif()
else()
  install(TARGETS ${tools} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Compressed without name or time stamp, so the package's bytes depend on the text alone;
  # under doc/ by their source path, as the English and Russian pages share names.
  set(gzipped)
  foreach(source IN ITEMS man/decipher.1 man/encipher.1 man/crack.1 man/ru/decipher.1
                          man/ru/encipher.1 man/ru/crack.1 cmake/changelog)
    set(copy ${doc_dir}/${source})
    cmake_path(GET copy PARENT_PATH dir)
    add_custom_command(
      OUTPUT ${copy}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${source} ${copy}
      COMMAND gzip -9nf ${copy}
      DEPENDS ${source}
      VERBATIM)
    list(APPEND gzipped ${copy}.gz)
  endforeach()
  add_custom_target(docs ALL DEPENDS ${gzipped})
  foreach(tool IN LISTS tools)
    install(FILES ${doc_dir}/man/${tool}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    # Where man looks first under a Russian locale.
    install(FILES ${doc_dir}/man/ru/${tool}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ru/man1)
  endforeach()
  install(FILES ${doc_dir}/cmake/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
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
# The maintainer is who signed the latest entry of cmake/changelog, so that the two never differ.
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/changelog signed REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- ([^>]*>).*" "\\1" CPACK_DEBIAN_PACKAGE_MAINTAINER "${signed}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
