# Install rules (GNUInstallDirs) and the Debian packages (CPack), in two components:
#   dsadmin   the window, dsadmin-cli, dsfile, desktop entry, icons, metainfo, manual pages
#   sandbox   dsadmin-sandbox and its manual page (a separate package; it starts nothing)
#
# The window and dsadmin-cli read Setup.ini and the structure files from the folder that holds
# their real executable (/proc/self/exe, links resolved), so that folder must be a real, stable folder
# where whoever installs the tool can put those files:
#   prefix /usr (the package):  /opt/dsadmin/dsadmin, with the link /usr/bin/dsadmin
#   any other prefix P:         P/lib/dsadmin/dsadmin, with the link P/bin/dsadmin
# DSADMIN_INSTALL_APPDIR (absolute, or relative to the prefix) chooses another folder.
# The choice is made at install time, so `cmake --install build --prefix P` and DESTDIR both
# keep every file under P (or DESTDIR).
include(GNUInstallDirs)

set(DSADMIN_INSTALL_APPDIR "" CACHE STRING
  "Application folder of the installed window (empty: /opt/dsadmin under prefix /usr, else lib/dsadmin)")
set(DSADMIN_PACKAGE_MAINTAINER "dsadmin developers <dsadmin@example.org>" CACHE STRING
  "Maintainer named in the Debian packages")

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(staged ${CMAKE_BINARY_DIR}/packaging)
set(app_id org.dsadmin.dsadmin)

# The application folder, relative to the prefix as install() wants it, decided when installing.
install(CODE "
  set(DSADMIN_APPDIR \"${DSADMIN_INSTALL_APPDIR}\")
  if(DSADMIN_APPDIR STREQUAL \"\")
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
      set(DSADMIN_APPDIR /opt/dsadmin)
    else()
      set(DSADMIN_APPDIR lib/dsadmin)
    endif()
  endif()
  if(IS_ABSOLUTE \"\${DSADMIN_APPDIR}\")
    file(RELATIVE_PATH DSADMIN_APPDIR \"\${CMAKE_INSTALL_PREFIX}\" \"\${DSADMIN_APPDIR}\")
  endif()
  " COMPONENT dsadmin)

# Installs the program `target` into the application folder (it finds Setup.ini and the
# structure files beside its real executable) and links bin/<target> to it: absolute when the
# folder leaves the prefix's tree (/opt).
function(dsadmin_install_in_appdir target)
  install(TARGETS ${target} RUNTIME DESTINATION "\${DSADMIN_APPDIR}" COMPONENT dsadmin)
  install(CODE "
    set(bindir \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    get_filename_component(exe \"\${CMAKE_INSTALL_PREFIX}/\${DSADMIN_APPDIR}/${target}\" ABSOLUTE)
    string(FIND \"\${DSADMIN_APPDIR}\" \"../\" outside)
    if(outside EQUAL 0)
      set(link_to \"\${exe}\")
    else()
      file(RELATIVE_PATH link_to \"\${bindir}\" \"\${exe}\")
    endif()
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${bindir}\")
    message(STATUS \"Installing: \$ENV{DESTDIR}\${bindir}/${target} -> \${link_to}\")
    file(CREATE_LINK \"\${link_to}\" \"\$ENV{DESTDIR}\${bindir}/${target}\" SYMBOLIC)
    " COMPONENT dsadmin)
endfunction()

# A stripped install (cpack, `cmake --install --strip`) also drops the .comment and .note
# sections (the compiler's version strings), as Debian's own packages do; the build id stays.
function(dsadmin_strip_notes component)
  set(files)
  foreach(file ${ARGN})
    string(APPEND files " \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${file}\"")
  endforeach()
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(file ${files})
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
          --remove-section=.note \"\${file}\" COMMAND_ERROR_IS_FATAL ANY)
      endforeach()
    endif()
    " COMPONENT ${component})
endfunction()

dsadmin_install_in_appdir(dsadmin-cli)
dsadmin_strip_notes(dsadmin "\${DSADMIN_APPDIR}/dsadmin-cli")
# The structure-file reader's helper program, started by the window, dsadmin-cli and dsfile
# (which looks for it beside itself, in ../lib/dsadmin, then in the package's folder).
install(TARGETS dsadmin-jetreader RUNTIME DESTINATION "\${DSADMIN_APPDIR}" COMPONENT dsadmin)
dsadmin_strip_notes(dsadmin "\${DSADMIN_APPDIR}/dsadmin-jetreader")
if(TARGET dsadmin)
  dsadmin_install_in_appdir(dsadmin)
  dsadmin_strip_notes(dsadmin "\${DSADMIN_APPDIR}/dsadmin")

  install(FILES ${packaging}/${app_id}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT dsadmin)
  configure_file(${packaging}/${app_id}.metainfo.xml.in ${staged}/${app_id}.metainfo.xml @ONLY)
  install(FILES ${staged}/${app_id}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT dsadmin)
  # The window's own icon drawing, exported at build time: the sizes the window holds, larger
  # ones for software centres and docks, and the drawing as SVG.
  set(icon_sizes 128 64 48 32 24 16)
  set(icon_files ${staged}/icons/scalable/dsadmin.svg)
  foreach(size ${icon_sizes})
    list(APPEND icon_files ${staged}/icons/${size}/dsadmin.png)
  endforeach()
  add_custom_command(OUTPUT ${icon_files}
    COMMAND export_icons ${staged}/icons ${icon_sizes} scalable
    DEPENDS export_icons
    COMMENT "Exporting the window icon")
  add_custom_target(app_icons ALL DEPENDS ${icon_files})
  foreach(size ${icon_sizes})
    install(FILES ${staged}/icons/${size}/dsadmin.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT dsadmin)
  endforeach()
  install(FILES ${staged}/icons/scalable/dsadmin.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT dsadmin)
endif()

install(FILES ${packaging}/lintian-overrides RENAME dsadmin
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT dsadmin)
install(FILES ${packaging}/lintian-overrides-sandbox RENAME dsadmin-sandbox
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT sandbox)
install(TARGETS dsfile RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT dsadmin)
dsadmin_strip_notes(dsadmin ${CMAKE_INSTALL_BINDIR}/dsfile)
install(FILES ${PROJECT_SOURCE_DIR}/samples/Sample.tsv ${DSADMIN_SAMPLE_DS}
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT dsadmin)
if(TARGET dsadmin-sandbox)
  install(TARGETS dsadmin-sandbox RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sandbox)
  dsadmin_strip_notes(sandbox ${CMAKE_INSTALL_BINDIR}/dsadmin-sandbox)
  configure_file(${packaging}/org.dsadmin.sandbox.metainfo.xml.in
    ${staged}/org.dsadmin.sandbox.metainfo.xml @ONLY)
  install(FILES ${staged}/org.dsadmin.sandbox.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT sandbox)
endif()

# Manual pages, gzipped as Debian keeps them; the changelog and copyright of each package.
set(man_pages)
foreach(page dsadmin dsadmin-cli dsfile dsadmin-sandbox)
  configure_file(${packaging}/man/${page}.1.in ${staged}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${staged}/man/${page}.1.gz
    COMMAND gzip -9nf -k ${staged}/man/${page}.1
    DEPENDS ${staged}/man/${page}.1 ${packaging}/man/${page}.1.in)
  list(APPEND man_pages ${staged}/man/${page}.1.gz)
endforeach()
configure_file(${packaging}/changelog.in ${staged}/changelog @ONLY)
add_custom_command(OUTPUT ${staged}/changelog.gz
  COMMAND gzip -9nf -k ${staged}/changelog
  DEPENDS ${staged}/changelog ${packaging}/changelog.in)
add_custom_target(package_docs ALL DEPENDS ${man_pages} ${staged}/changelog.gz)

set(man1 ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${staged}/man/dsadmin.1.gz ${staged}/man/dsadmin-cli.1.gz ${staged}/man/dsfile.1.gz
  DESTINATION ${man1}
  COMPONENT dsadmin)
install(FILES ${staged}/man/dsadmin-sandbox.1.gz DESTINATION ${man1} COMPONENT sandbox)
foreach(component dsadmin sandbox)
  if(component STREQUAL "dsadmin")
    set(package dsadmin)
  else()
    set(package dsadmin-sandbox)
  endif()
  install(FILES ${packaging}/copyright ${staged}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

# The Debian packages: cpack -G DEB in the build folder (see README, "Install").
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dsadmin)
set(CPACK_PACKAGE_VENDOR "the dsadmin developers")
set(CPACK_PACKAGE_CONTACT "${DSADMIN_PACKAGE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# The install code above decides by the prefix, so CPack installs with prefix /usr into a
# DESTDIR (rather than with its staging folder as the prefix).
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL dsadmin sandbox)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_DSADMIN_PACKAGE_NAME dsadmin)
# tdsodbc: the FreeTDS driver that unixODBC loads at run time. adduser: the maintainer scripts
# make the operators' group. fonts-noto-cjk: every text is Chinese, and Noto Serif CJK SC, the
# face the window asks for first, keeps Latin letters legible beside it ("l" is no "1").
set(CPACK_DEBIAN_DSADMIN_PACKAGE_DEPENDS "tdsodbc, adduser, fonts-noto-cjk")
set(CPACK_DEBIAN_DSADMIN_PACKAGE_CONTROL_EXTRA
  "${packaging}/maintainer/postinst;${packaging}/maintainer/postrm")
set(CPACK_DEBIAN_DSADMIN_PACKAGE_SUGGESTS "dsadmin-sandbox")
set(CPACK_COMPONENT_DSADMIN_DESCRIPTION
 "create, complete or drop a SQL Server database from a structure file
dsadmin is one small window that creates the SQL Server database of another
application, completes an existing one with the tables it lacks, or drops it.
The tables are described column by column in a structure file (an Access/Jet
database) in the application folder /opt/dsadmin. The settings file Setup.ini,
which holds the login password, is shared by the members of the group dsadmin
in /etc/opt/dsadmin and readable by nobody else. The package also holds
dsadmin-cli, the same runs with a preview and a read-only check on the command
line, and dsfile, which writes and reads structure files without Access.
Licence: MIT.")
set(CPACK_DEBIAN_SANDBOX_PACKAGE_NAME dsadmin-sandbox)
set(CPACK_DEBIAN_SANDBOX_PACKAGE_SECTION database)
set(CPACK_COMPONENT_SANDBOX_DESCRIPTION
 "local stand-in SQL Server for trying dsadmin
dsadmin-sandbox answers dsadmin's statements over TDS with SQL Server's
messages but keeps each database in an SQLite file and stores no rows. It is
for trials and tests; installing it starts nothing. Licence: MIT.")
include(CPack)
