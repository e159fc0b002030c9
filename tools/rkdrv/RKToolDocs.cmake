# The manual page rkdrv(1), made from its scdoc source, and the bash
# completion; both are for systems with man and bash, so not for Windows.
option(RKDRV_BUILD_MANPAGE "Build and install the rkdrv(1) manual page (needs scdoc)" ON)

if(RKDRV_BUILD_MANPAGE)
  find_program(RKDRV_SCDOC scdoc)
  if(NOT RKDRV_SCDOC)
    message(FATAL_ERROR "The manual page is made with scdoc: install scdoc, or configure with -DRKDRV_BUILD_MANPAGE=OFF")
  endif()
  set(RKDRV_MANPAGE ${CMAKE_CURRENT_BINARY_DIR}/rkdrv.1)
  add_custom_command(OUTPUT ${RKDRV_MANPAGE}
    COMMAND ${CMAKE_COMMAND} -DSCDOC=${RKDRV_SCDOC} -DINPUT=${CMAKE_CURRENT_SOURCE_DIR}/rkdrv.1.scd
      -DOUTPUT=${RKDRV_MANPAGE} -P ${CMAKE_CURRENT_SOURCE_DIR}/RKToolScdoc.cmake
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/rkdrv.1.scd ${CMAKE_CURRENT_SOURCE_DIR}/RKToolScdoc.cmake
    COMMENT "Making the manual page rkdrv.1"
  )
  add_custom_target(rkdrv_manpage ALL DEPENDS ${RKDRV_MANPAGE})
  install(FILES ${RKDRV_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Where bash-completion loads a command's completion from when first needed.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/rkdrv.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME rkdrv)
