# Packaging.cmake - where Molvane's files go when installed, the folders in
# which the programs look for their data (the bond textures), and the Debian
# package made by `cpack -G DEB`.
include(GNUInstallDirs)

option(MOLVANE_SOURCE_DATA "Let the programs also find their data (Textures/) in this source tree" ON)

# The data folder under the prefix: Textures/ goes into it.
set(MOLVANE_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/molvane")

#------------------------------------------------------------------------------
# Data folders. The viewer registers its textures as "Textures/NAME.ppm";
# libvelkor looks for such a name in the working directory first, then in
# these folders in turn: the installed data folder (as configured, and
# relative to the program, so an install moved elsewhere still finds it),
# then the source tree, so a build started from any folder finds Textures/.
#------------------------------------------------------------------------------
if(TARGET velkor)
  file(RELATIVE_PATH molvane_data_from_bin "${CMAKE_INSTALL_FULL_BINDIR}"
       "${CMAKE_INSTALL_PREFIX}/${MOLVANE_INSTALL_DATADIR}")
  set(molvane_data_folders "${CMAKE_INSTALL_PREFIX}/${MOLVANE_INSTALL_DATADIR}" "${molvane_data_from_bin}")
  if(MOLVANE_SOURCE_DATA)
    list(APPEND molvane_data_folders "${CMAKE_SOURCE_DIR}")
  endif()
  list(JOIN molvane_data_folders ":" molvane_data_folders)
  target_compile_definitions(velkor PRIVATE "VELKOR_DATA_FOLDERS=\"${molvane_data_folders}\"")
endif()
