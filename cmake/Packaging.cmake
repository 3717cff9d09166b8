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

#------------------------------------------------------------------------------
# Install: `cmake --install BUILD --prefix P` puts the programs in P/bin, the
# textures in P/share/molvane/Textures, the desktop entry and the icon in
# P/share/applications and P/share/icons, the file types in P/share/mime/packages.
#------------------------------------------------------------------------------
# Every program Molvane ships; one not built (no Qt, say) is left out. A new
# program (the headless renderer, molvane-render) only needs its name here.
set(MOLVANE_PROGRAMS molvane molvane-inspect molvane-render)
foreach(program IN LISTS MOLVANE_PROGRAMS)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/Textures/ DESTINATION ${MOLVANE_INSTALL_DATADIR}/Textures
        FILES_MATCHING PATTERN "*.ppm")
install(FILES ${CMAKE_SOURCE_DIR}/packaging/molvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The file types of structure files (Debian's shared-mime-info has none);
# its dpkg trigger on this folder updates the database, no script needed.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/molvane-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME molvane.xml)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/molvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

#------------------------------------------------------------------------------
# The Debian package: `cpack -G DEB` in the build folder makes
# molvane_VERSION_ARCH.deb, installed under /usr, its library dependencies
# found by dpkg-shlibdeps. Configure the build with
# -DCMAKE_INSTALL_PREFIX=/usr -DMOLVANE_SOURCE_DATA=OFF so the programs look
# for their data where the package puts it and not in this source tree.
#------------------------------------------------------------------------------
set(CPACK_PACKAGE_NAME molvane)
set(CPACK_PACKAGE_VENDOR "Molvane")
set(CPACK_PACKAGE_CONTACT "Molvane developers <molvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop viewer for molecular structures in PDB and mmCIF files")
set(CPACK_PACKAGE_DESCRIPTION [=[
Molvane reads the atoms, CONECT bonds and models of Protein Data Bank (PDB)
and PDBx/mmCIF files, plain or gzip-compressed, works out the bonds and
bond orders from the elements and distances, and shows the molecule in a 3D
window as lines, balls and sticks or space-filling spheres. molvane-inspect
prints what the viewer reads from a file without opening a window.]=])
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: Qt's X11 platform
# plugin and the Mesa drivers.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libgl1-mesa-dri")
include(CPack)
