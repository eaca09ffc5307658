# Where an installation puts things, relative to the prefix. The recorder keeps its own folder
# (help file, default settings, installer and manifest beside the executable, where the program
# and the uninstall helper look for them); bin/ holds links to its commands.
set(SONOCAP_APP_ID org.sonocap.Sonocap)
set(SONOCAP_ICON_SIZES 16 22 24 32 48 64 128 256)
set(SONOCAP_PROGRAM_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/sonocap)
set(SONOCAP_DOC_INSTALL_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/sonocap)
set(SONOCAP_INSTALL_DIRS
  ${CMAKE_INSTALL_BINDIR}
  ${SONOCAP_PROGRAM_INSTALL_DIR}
  ${CMAKE_INSTALL_DATADIR}/applications
  ${CMAKE_INSTALL_DATADIR}/metainfo
  ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  ${CMAKE_INSTALL_MANDIR}/man1
  ${SONOCAP_DOC_INSTALL_DIR})
foreach(size ${SONOCAP_ICON_SIZES})
  list(APPEND SONOCAP_INSTALL_DIRS ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Every path an install puts in place, relative to the prefix, declared beside its install rule:
# the first install step records them all before anything is copied.
set_property(GLOBAL PROPERTY SONOCAP_INSTALLED_PATHS)
function(sonocap_expect_installed destination)
  foreach(name ${ARGN})
    set_property(GLOBAL APPEND PROPERTY SONOCAP_INSTALLED_PATHS "${destination}/${name}")
  endforeach()
endfunction()
set(SONOCAP_INSTALLED_PATHS_FILE ${PROJECT_BINARY_DIR}/sonocap-installed-paths.cmake)

# The first install step: the install script learns the layout, notes which folders exist and
# records the installation before its first file.
install(CODE "
  include(\"${SONOCAP_INSTALLED_PATHS_FILE}\")
  set(SONOCAP_INSTALL_DIRS \"${SONOCAP_INSTALL_DIRS}\")
  set(SONOCAP_PROGRAM_INSTALL_DIR \"${SONOCAP_PROGRAM_INSTALL_DIR}\")
  set(SONOCAP_BIN_INSTALL_DIR \"${CMAKE_INSTALL_BINDIR}\")
  set(SONOCAP_STAGE_ROOT \"${PROJECT_BINARY_DIR}/install-stage\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/SonocapInstallSteps.cmake\")
  sonocap_install_begin()
")
