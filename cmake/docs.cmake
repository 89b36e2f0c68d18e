# The documents the packages carry.
#
# The man pages cairnmark(1) and cairnmark-fleet(1) are written once in Markdown (doc/NAME.1.md)
# and made by pandoc into roff, gzipped as installed man pages are (Linux), or into HTML pages for
# the Windows zip. Their footer carries the project's version. Sets CAIRNMARK_MAN_PAGES to the
# pages made, for the install rules: empty without pandoc.
#
# The Debian changelog (doc/changelog) is installed gzipped; its newest entry must name the
# project's version, which the package carries.
set(CAIRNMARK_MAN_PAGES)
set(CAIRNMARK_DOC_DIR ${CMAKE_BINARY_DIR}/doc)
file(MAKE_DIRECTORY ${CAIRNMARK_DOC_DIR})
set(docs)

if(NOT WIN32)
  file(STRINGS doc/changelog newestEntry LIMIT_COUNT 1)
  if(NOT newestEntry MATCHES "^cairnmark \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "doc/changelog: the newest entry (${newestEntry}) is not for version "
                        "${PROJECT_VERSION}; add an entry for it")
  endif()
  configure_file(doc/changelog ${CAIRNMARK_DOC_DIR}/changelog COPYONLY)
  set(CAIRNMARK_CHANGELOG ${CAIRNMARK_DOC_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${CAIRNMARK_CHANGELOG}
    COMMAND gzip -9 --no-name --keep --force ${CAIRNMARK_DOC_DIR}/changelog
    DEPENDS ${CAIRNMARK_DOC_DIR}/changelog VERBATIM)
  list(APPEND docs ${CAIRNMARK_CHANGELOG})
endif()

find_program(PANDOC_EXECUTABLE pandoc)
if(NOT PANDOC_EXECUTABLE)
  message(STATUS "pandoc was not found: the man pages are not built (Debian package pandoc)")
  set(pages)
else()
  set(pages cairnmark cairnmark-fleet)
endif()
foreach(page IN LISTS pages)
  set(source ${CMAKE_SOURCE_DIR}/doc/${page}.1.md)
  set(pandoc ${PANDOC_EXECUTABLE} --standalone --from markdown-smart
      "--metadata=footer:Cairnmark ${PROJECT_VERSION}" "--metadata=header:User Commands")
  if(WIN32)
    set(output ${CAIRNMARK_DOC_DIR}/${page}.html)
    add_custom_command(OUTPUT ${output}
      COMMAND ${pandoc} --to html5 "--metadata=pagetitle:${page}(1)" --output ${output} ${source}
      DEPENDS ${source} VERBATIM)
  else()
    set(output ${CAIRNMARK_DOC_DIR}/${page}.1.gz)
    add_custom_command(OUTPUT ${output} ${CAIRNMARK_DOC_DIR}/${page}.1
      COMMAND ${pandoc} --to man --output ${CAIRNMARK_DOC_DIR}/${page}.1 ${source}
      COMMAND gzip -9 --no-name --keep --force ${CAIRNMARK_DOC_DIR}/${page}.1
      DEPENDS ${source} VERBATIM)
  endif()
  list(APPEND CAIRNMARK_MAN_PAGES ${output})
  list(APPEND docs ${output})
endforeach()

add_custom_target(cairn_docs ALL DEPENDS ${docs})
