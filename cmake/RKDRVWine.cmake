# Windows programs of a cross build run under wine: through ctest, at test
# discovery and in the external build, all via one wrapper that keeps a wine
# prefix inside the build folder.
find_program(RKDRV_WINE wine)
find_program(RKDRV_WINESERVER wineserver)
if(NOT RKDRV_WINE OR NOT RKDRV_WINESERVER)
  message(FATAL_ERROR "The Windows build runs its programs under wine: install wine and wine64")
endif()

set(RKDRV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/rkdrv-wine.sh.in ${CMAKE_BINARY_DIR}/rkdrv-wine
  @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/rkdrv-wine)
