# Debian packages with CPack (`cpack -G DEB` in the build folder), one per install component:
#   libformule1      the shared libraries, translations and database scripts (runtime)
#   formule          the tool, the demo host, the SQLite collation extension, man page, completion
#   libformule-dev   the headers, the CMake package and the pkg-config file
set(CPACK_PACKAGE_NAME formule)
set(CPACK_PACKAGE_VENDOR "formule")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "formule maintainers <formule@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL runtime tools dev)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libformule${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.2), libqt6gui6 (>= 6.2), libqt6widgets6 (>= 6.2), libqt6sql6 (>= 6.2), libqt6sql6-sqlite, libqt6charts6 (>= 6.2), libsqlite3-0, libodbc2")
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME formule)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libqt6network6 (>= 6.2)")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libformule-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "qt6-base-dev (>= 6.2)")

set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "Formula editor component: shared libraries and translations")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "Formula editor component: the formule tool and the demo host")
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_COMPONENT_DEV_DESCRIPTION "Formula editor component: headers, CMake package, pkg-config file")
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
include(CPack)
