# What `cmake --install` puts where. Three install components, one Debian package each:
#   runtime  the shared libraries (host framework, host widgets, component), the translations and
#            the database scripts;
#   tools    the command-line tool, the demo host, the SQLite collation extension, the man page and
#            the bash completion;
#   dev      the public headers, the CMake package (FormuleConfig.cmake) and the pkg-config file.
include(CMakePackageConfigHelpers)

set(FORMULE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Formule)
set(FORMULE_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/formule)

install(TARGETS formule_hostlib formule_hostgui formule_component
    EXPORT FormuleTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
install(TARGETS formule formule-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(TARGETS formule_sqlite_collation LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/formule COMPONENT tools)

# The public headers: the factory, the export header, and the host types a host implements or passes
# (the plug-in interface Cinterface, the global object, navigator, menu item, object models, log
# object and responder, translation service, the ADO connection and the Variant), with the headers
# they include. They keep their paths under include/formule/, so both <formule/host/Cinterface.h>
# and the headers' own "core/Variant.h" resolve.
install(FILES ${PROJECT_SOURCE_DIR}/include/formule/Factory.h
              ${PROJECT_BINARY_DIR}/include/formule/formule_component_export.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/formule COMPONENT dev)
set(FORMULE_PUBLIC_HOST_HEADERS
    ado/Ado.h
    core/Decimal.h core/Error.h core/RowSet.h core/Variant.h
    host/Cinterface.h host/ConnectionFactory.h host/DataFrame.h host/GlobalObject.h host/HostObject.h
    host/HyperMedia.h host/LateBound.h host/LayoutModel.h host/LogObject.h host/MenuItem.h host/Navigator.h
    host/Responder.h host/ScriptModel.h host/TranslationService.h host/UserSettings.h
    host/DialogResponder.h)
foreach(header IN LISTS FORMULE_PUBLIC_HOST_HEADERS)
    get_filename_component(dir ${header} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/src/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/formule/${dir}
            COMPONENT dev)
endforeach()

# The compiled catalogues and the database scripts (the same scripts are built into libformule_host).
install(DIRECTORY ${PROJECT_BINARY_DIR}/translations/ DESTINATION ${FORMULE_INSTALL_DATADIR}/translations
        COMPONENT runtime FILES_MATCHING PATTERN "*.qm")
install(FILES ${PROJECT_SOURCE_DIR}/data/schema-sqlite.sql ${PROJECT_SOURCE_DIR}/data/schema-sqlserver.sql
              ${PROJECT_SOURCE_DIR}/data/demo-data.sql
        DESTINATION ${FORMULE_INSTALL_DATADIR} COMPONENT runtime)

# The man page and the bash completion of the tool, where the build has them.
if(TARGET formule_manpage)
    install(FILES ${PROJECT_BINARY_DIR}/man/formule.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
elseif(EXISTS ${PROJECT_SOURCE_DIR}/data/formule.1)
    install(FILES ${PROJECT_SOURCE_DIR}/data/formule.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/data/completion/formule.bash)
    install(FILES ${PROJECT_SOURCE_DIR}/data/completion/formule.bash
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME formule COMPONENT tools)
endif()

# The CMake package: find_package(Formule 1.0) gives Formule::component, Formule::host and
# Formule::host_gui.
install(EXPORT FormuleTargets NAMESPACE Formule:: DESTINATION ${FORMULE_INSTALL_CMAKEDIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/FormuleConfig.cmake.in
    ${PROJECT_BINARY_DIR}/cmake/FormuleConfig.cmake INSTALL_DESTINATION ${FORMULE_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/FormuleConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cmake/FormuleConfig.cmake ${PROJECT_BINARY_DIR}/cmake/FormuleConfigVersion.cmake
        DESTINATION ${FORMULE_INSTALL_CMAKEDIR} COMPONENT dev)

# pkg-config: `pkg-config --cflags --libs formule`.
configure_file(${PROJECT_SOURCE_DIR}/cmake/formule.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/formule.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/formule.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT dev)
