# Run paths and the installation (`cmake --install build --prefix DIR`).
#
# Nothing built or installed names a folder of the build. An installation
# puts the programs a user runs into bin/ and everything they load or start
# into lib/qbk24/: the suite's libraries, the driver files devinstall copies
# into a system root, and the system's own tools net and regsvr32. The
# documents go into share/doc/qbk24/, the udev rule for a real scanner into
# share/qbk24/udev/.
#
# Every target is linked with the run path it is installed with, relative
# to its own folder ($ORIGIN): the build's bin/ holds everything side by
# side, so the same path serves there, and installing copies the files
# unchanged. (A run path that installing rewrites is padded in the build
# with empty entries, which the loader reads as the current folder.)
include(GNUInstallDirs)

set(QBK_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR}/qbk24)
file(RELATIVE_PATH QBK_BIN_TO_LIBDIR /${CMAKE_INSTALL_BINDIR} /${QBK_INSTALL_LIBDIR})
set(CMAKE_BUILD_WITH_INSTALL_RPATH ON)
set(CMAKE_INSTALL_RPATH "$ORIGIN")

# Everything the installation holds, and so everything `make demo` builds:
# the programs, libraries and data a user runs, without the tests and
# benchmarks.
add_custom_target(suite)

# qbk_install_programs(<targets...>): programs a user runs, into bin/. They
# find the libraries beside them in the build and in ../lib/qbk24 when
# installed.
function(qbk_install_programs)
  set_target_properties(${ARGN} PROPERTIES INSTALL_RPATH "$ORIGIN:$ORIGIN/${QBK_BIN_TO_LIBDIR}")
  install(TARGETS ${ARGN} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  add_dependencies(suite ${ARGN})
endfunction()

# qbk_install_libraries(<targets...>): libraries, and programs that only
# the suite starts, into lib/qbk24/.
function(qbk_install_libraries)
  install(TARGETS ${ARGN}
    RUNTIME DESTINATION ${QBK_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${QBK_INSTALL_LIBDIR})
  add_dependencies(suite ${ARGN})
endfunction()

# qbk_install_library_files(<custom target> <files...>): files a custom
# target makes in the build's bin/ (copies of programs), into lib/qbk24/.
function(qbk_install_library_files target)
  install(PROGRAMS ${ARGN} DESTINATION ${QBK_INSTALL_LIBDIR})
  add_dependencies(suite ${target})
endfunction()
