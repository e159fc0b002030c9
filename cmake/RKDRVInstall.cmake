# Installs the headers, the library, the CMake package and rkdrv.pc.
include(CMakePackageConfigHelpers)

install(TARGETS RKDRV EXPORT RKDRVTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/RKDRV
)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/RKDRV
  FILES_MATCHING PATTERN "*.h"
)

set(RKDRV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/RKDRV)
install(EXPORT RKDRVTargets NAMESPACE RKDRV:: DESTINATION ${RKDRV_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/RKDRVConfig.cmake.in
  ${PROJECT_BINARY_DIR}/RKDRVConfig.cmake
  INSTALL_DESTINATION ${RKDRV_CMAKE_DIR}
  PATH_VARS RKDRV_INSTALL_ENGINEDIR
)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/RKDRVConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion
)
install(FILES
  ${PROJECT_BINARY_DIR}/RKDRVConfig.cmake
  ${PROJECT_BINARY_DIR}/RKDRVConfigVersion.cmake
  ${PROJECT_SOURCE_DIR}/cmake/RKDRVEngine.cmake
  DESTINATION ${RKDRV_CMAKE_DIR}
)

# The way from the .pc file's folder back up to the prefix, so that the
# package works wherever it is installed.
file(RELATIVE_PATH RKDRV_PC_PREFIX_FROM_PCDIR /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" RKDRV_PC_PREFIX_FROM_PCDIR "${RKDRV_PC_PREFIX_FROM_PCDIR}")
# Where engines go for the loader to find them; on Windows beside the host
# program, which no package variable can name.
set(RKDRV_PC_ENGINEDIR_LINES "")
if(NOT WIN32)
  if(IS_ABSOLUTE "${RKDRV_ENGINE_FOLDER}")
    set(RKDRV_PC_ENGINEDIR "${RKDRV_ENGINE_FOLDER}")
  else()
    set(RKDRV_PC_ENGINEDIR "\${libdir}/${RKDRV_ENGINE_FOLDER}")
  endif()
  set(RKDRV_PC_ENGINEDIR_LINES "# Where engines are installed for the loader to find.\nenginedir=${RKDRV_PC_ENGINEDIR}\n")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/rkdrv.pc.in ${PROJECT_BINARY_DIR}/rkdrv.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/rkdrv.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
