# What `cmake --install` puts where, in the GNU directories under the prefix,
# and the two Debian packages CPack makes of it (tools/build-deb.sh):
#
#   vexo      bin/vexo, libvexo.so.1, the man page vexo(1), bash completion
#   vexo-dev  include/vexo.h, pkgconfig/vexo.pc and the libvexo.so link
#
# Included by the top-level CMakeLists.txt on platforms with libvexo.so.

set(VEXO_DOC_DIR ${PROJECT_SOURCE_DIR}/tools/debian)
set(VEXO_MAINTAINER "vexo developers <maintainers@users.noreply.c-seed-f9d64922.example>")
set(VEXO_MAN_PAGE ${PROJECT_BINARY_DIR}/vexo.1.gz)
set(VEXO_CHANGELOG ${PROJECT_BINARY_DIR}/changelog.gz)

# The release's changelog entry, dated SOURCE_DATE_EPOCH when that is set.
string(TIMESTAMP VEXO_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${VEXO_DOC_DIR}/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cli/vexo.1.in ${PROJECT_BINARY_DIR}/vexo.1 @ONLY)

# Debian wants man pages and changelogs compressed, with no name or time stamp
# in the header, so that two builds give the same bytes.
function(vexo_gzip from to)
  add_custom_command(OUTPUT ${to} COMMAND gzip -9 -n -c ${from} > ${to} DEPENDS ${from} VERBATIM)
endfunction()
vexo_gzip(${PROJECT_BINARY_DIR}/vexo.1 ${VEXO_MAN_PAGE})
vexo_gzip(${PROJECT_BINARY_DIR}/changelog ${VEXO_CHANGELOG})
add_custom_target(vexo_docs ALL DEPENDS ${VEXO_MAN_PAGE} ${VEXO_CHANGELOG})

# cmake --install builds nothing by itself: build here what the rules below
# install, so that it works whatever was built before (the demo builds the
# program alone).
install(CODE "
  execute_process(
    COMMAND \"${CMAKE_COMMAND}\" --build \"${PROJECT_BINARY_DIR}\"
            --config \"\${CMAKE_INSTALL_CONFIG_NAME}\"
            --target vexo vexo_shared vexo_docs
    RESULT_VARIABLE vexo_build_result)
  if(vexo_build_result)
    message(FATAL_ERROR \"building what is installed failed\")
  endif()
")

install(TARGETS vexo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(TARGETS vexo_shared
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(FILES ${VEXO_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/cli/vexo-completion.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME vexo COMPONENT runtime)
install(FILES ${VEXO_DOC_DIR}/copyright ${VEXO_CHANGELOG}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vexo COMPONENT runtime)
install(FILES ${VEXO_DOC_DIR}/copyright ${VEXO_CHANGELOG}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vexo-dev COMPONENT dev)

# The pkg-config file is written at install time so that it names the prefix
# actually installed into (cmake --install --prefix may differ from the one
# configured).
set(pc_file ${PROJECT_BINARY_DIR}/vexo.pc)
install(CODE "
  set(VEXO_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(VEXO_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(VEXO_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(VEXO_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/tsf/vexo.pc.in\" \"${pc_file}\" @ONLY)
" COMPONENT dev)
install(FILES ${pc_file} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# Installed by root straight into a directory the dynamic loader searches
# through its cache (/usr/local/lib): renew the cache, so that programs find
# the new library without LD_LIBRARY_PATH. Staged installs (DESTDIR, packages)
# leave it to the package manager.
install(CODE "
  set(vexo_libdir \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}\")
  find_program(vexo_ldconfig ldconfig PATHS /sbin /usr/sbin)
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\" AND vexo_ldconfig)
    execute_process(COMMAND id -u OUTPUT_VARIABLE vexo_uid OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND \"\${vexo_ldconfig}\" -v -N -X
      OUTPUT_VARIABLE vexo_ld_dirs ERROR_QUIET)
    string(FIND \"\\n\${vexo_ld_dirs}\" \"\\n\${vexo_libdir}:\" vexo_at)
    if(vexo_uid STREQUAL \"0\" AND NOT vexo_at EQUAL -1)
      message(STATUS \"Renewing the dynamic loader's cache (ldconfig)\")
      execute_process(COMMAND \"\${vexo_ldconfig}\")
    endif()
  endif()
" COMPONENT runtime)

include(tools/debian.cmake)
