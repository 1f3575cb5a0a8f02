# The Debian packages of the host tools, one per tool (each its install component, as
# cmake/host-tool.cmake declares it): stripped, each with its Depends computed by dpkg-shlibdeps
# from the libraries it links.
get_property(packages GLOBAL PROPERTY VOSSEL_PACKAGES)
get_property(CPACK_PACKAGE_CONTACT GLOBAL PROPERTY VOSSEL_PACKAGE_MAINTAINER)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${packages})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
foreach(package IN LISTS packages)
    string(TOUPPER ${package} component)
    set(CPACK_DEBIAN_${component}_PACKAGE_NAME ${package})
    get_property(CPACK_DEBIAN_${component}_DESCRIPTION GLOBAL
        PROPERTY VOSSEL_PACKAGE_DESCRIPTION_${package})
endforeach()
include(CPack)
