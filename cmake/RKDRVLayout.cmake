# Where an installed tree keeps its engines, and how its programs find the
# library and the engines.

# The package's engine folder, searched after the library's own folder. A
# relative folder is taken from the library's folder, so that a prefix
# moved elsewhere still finds its own engines.
set(RKDRV_INSTALL_ENGINEDIR "${CMAKE_INSTALL_LIBDIR}/rkdrv/engines"
  CACHE STRING "Folder of the installed engines, relative to the prefix or absolute")
# A distribution installs the library into the system's library folder and
# may give nothing a run path; a prefix of one's own needs them.
option(RKDRV_INSTALL_RPATH "Run paths relative to the installed files, so that a prefix can move" ON)

if(IS_ABSOLUTE "${RKDRV_INSTALL_ENGINEDIR}")
  set(RKDRV_ENGINE_FOLDER "${RKDRV_INSTALL_ENGINEDIR}")
else()
  file(RELATIVE_PATH RKDRV_ENGINE_FOLDER "/prefix/${CMAKE_INSTALL_LIBDIR}" "/prefix/${RKDRV_INSTALL_ENGINEDIR}")
endif()
