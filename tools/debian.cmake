# The Debian packages vexo_<version>_<arch>.deb and vexo-dev_<version>_<arch>.deb,
# made by `cpack -G DEB` from the install rules (tools/build-deb.sh configures
# the build for them). Dependencies are computed by dpkg-shlibdeps.

set(CPACK_PACKAGE_NAME vexo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "vexo developers")
set(CPACK_PACKAGE_CONTACT "${VEXO_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME vexo)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "Uzbek text from the old Latin spelling to the 2026 alphabet
vexo converts Uzbek text from the Latin spelling in use before 2026 to the
2026 alphabet (o' g' sh ch and the apostrophe become ö ğ ş ç ʼ), word by word,
leaving links, code, English words, brands and foreign names alone. It
converts back to the old spelling, to and from Cyrillic, and converts Word
documents, spreadsheets and plain-text files keeping their formatting.
.
This package holds the vexo program and the shared library libvexo with a
plain C interface.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME vexo-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "Uzbek 2026 alphabet conversion library - development files
The C header vexo.h and the pkg-config file for building programs against
libvexo, which converts Uzbek text from the old Latin spelling to the 2026
alphabet, back, and to Cyrillic.")

include(CPack)
