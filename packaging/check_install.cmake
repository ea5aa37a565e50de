# Installs the build into an empty directory and checks that every file is where it belongs.
#   cmake -DBUILD=<build dir> -DDEST=<empty dir> -DUDEV=<rules dir> -DAPPSTREAM_ID=<id>
#         -P check_install.cmake
file(REMOVE_RECURSE ${DEST})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${DEST}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc})")
endif()
foreach(f bin/z4072 share/z4072/kr380.html share/man/man1/z4072.1.gz
          share/applications/z4072.desktop share/metainfo/${APPSTREAM_ID}.metainfo.xml
          share/icons/hicolor/scalable/apps/z4072.svg ${UDEV}/70-z4072.rules
          share/doc/z4072/README.md share/doc/z4072/copyright share/doc/z4072/changelog.gz
          share/lintian/overrides/z4072)
  if(NOT EXISTS ${DEST}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
execute_process(COMMAND ${DEST}/bin/z4072 --version RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^z4072 ")
  message(FATAL_ERROR "the installed program does not run: ${rc} ${out}")
endif()
file(STRINGS ${DEST}/share/applications/z4072.desktop exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=z4072")
  message(FATAL_ERROR "desktop entry runs \"${exec}\"")
endif()
file(REMOVE_RECURSE ${DEST})
