# What `cmake --install` puts where, and the release packages CPack makes of it (scripts/package):
# a Debian package of the Linux build, a .zip of the Windows build.
include(GNUInstallDirs)

# Installing copies what is built and builds nothing, so that packaging a build tree with the
# tests configured does not compile them; scripts/package builds the `programs` target first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(ENSEMBLE_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/ensemble_probe)
install(TARGETS ${ENSEMBLE_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${ENSEMBLE_SHARE_DIR})
# Earlier versions of the stand-in engine left their summaries in engine_runs/; a checkout that
# still has them does not ship them.
install(DIRECTORY examples/ DESTINATION ${ENSEMBLE_SHARE_DIR}/examples USE_SOURCE_PERMISSIONS
        PATTERN engine_runs EXCLUDE)

set(CPACK_PACKAGE_NAME ensemble-probe)
set(CPACK_PACKAGE_VENDOR "ensemble_probe developers")
set(CPACK_PACKAGE_CONTACT "ensemble_probe developers <ensemble-probe@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Parametric building-energy studies: batch runner, fabric merge, batch monitor and study table")
set(CPACK_PACKAGE_DESCRIPTION
    "ensemble_probe builds a variant of a dwelling model for every combination of a batch \
configuration and runs an engine on each; envelope_splice merges one fabric parameter file \
into a model; ensemble_watch follows a batch and writes an HTML report; ensemble_collect turns \
a batch into one table with a main-effects report. The README and an \
example workspace are in share/ensemble_probe.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  # The shared libraries the programs link (the C++ runtime, spdlog, fmt) become dependencies.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Simulation mode runs the workspace's engine script with bash.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS bash)
endif()
include(CPack)
