# What `make install` puts where (scripts/install-program runs it):
#   <prefix>/lib/stikko/       the program folder: the executable with system/ and sound/
#   <prefix>/bin/stikko        a link to the executable
#   <prefix>/share/applications/stikko.desktop   the launcher entry
#   <prefix>/share/icons/hicolor/NxN/apps/stikko.png   the icon (tools/CMakeLists.txt)
#   <prefix>/share/metainfo/app.stikko.Stikko.metainfo.xml   what software centres show
#   <prefix>/share/man/man1/stikko.1   the manual page
# The program keeps its notes beside itself when it can write there, else in the user's data
# folder. An edited defaults file in the program folder is kept over a new install.
set(STIKKO_PROGRAM_DESTINATION lib/stikko)

install(TARGETS stikko RUNTIME DESTINATION ${STIKKO_PROGRAM_DESTINATION})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/sound/ DESTINATION ${STIKKO_PROGRAM_DESTINATION}/sound)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/system/ DESTINATION ${STIKKO_PROGRAM_DESTINATION}/system
    PATTERN default_config.ini EXCLUDE)

set(STIKKO_SHIPPED_DEFAULTS ${PROJECT_SOURCE_DIR}/resources/system/default_config.ini)
set(STIKKO_DESKTOP_TEMPLATE ${PROJECT_SOURCE_DIR}/resources/desktop/stikko.desktop.in)
install(CODE "
    set(program \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${STIKKO_PROGRAM_DESTINATION}\")
    if(EXISTS \"\${program}/system/default_config.ini\")
        message(STATUS \"Keeping: \${program}/system/default_config.ini\")
    else()
        # file(INSTALL) puts DESTDIR in front by itself.
        file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${STIKKO_PROGRAM_DESTINATION}/system\"
            TYPE FILE FILES \"${STIKKO_SHIPPED_DEFAULTS}\")
    endif()

    set(command \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/stikko\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(CREATE_LINK \"../${STIKKO_PROGRAM_DESTINATION}/stikko\" \"\${command}\" SYMBOLIC)
    message(STATUS \"Installing: \${command}\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${command}\")

    file(READ \"${STIKKO_DESKTOP_TEMPLATE}\" entry)
    string(REPLACE \"@STIKKO_EXEC@\" \"\${CMAKE_INSTALL_PREFIX}/bin/stikko\" entry \"\${entry}\")
    set(launcher \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications/stikko.desktop\")
    file(WRITE \"\${launcher}\" \"\${entry}\")
    message(STATUS \"Installing: \${launcher}\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${launcher}\")
")

# What software centres list: names, descriptions, the launcher entry and this release.
set(STIKKO_APPSTREAM_ID app.stikko.Stikko)
configure_file(${PROJECT_SOURCE_DIR}/resources/desktop/stikko.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/desktop/${STIKKO_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/desktop/${STIKKO_APPSTREAM_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/man/stikko.1 DESTINATION share/man/man1)

# The release for scripts/build-deb, which makes the package from this build.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/release.env
    CONTENT "STIKKO_VERSION=${PROJECT_VERSION}\nSTIKKO_RELEASE_DATE=${STIKKO_RELEASE_DATE}\n")
