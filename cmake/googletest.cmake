# GoogleTest and GoogleMock: the installed ones, else compiled from the sources that Debian's
# googletest package puts in /usr/src/googletest, as a cross build always does for its target.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")
if(NOT CMAKE_CROSSCOMPILING)
    find_package(GTest QUIET)
endif()
if(NOT TARGET GTest::gmock)
    if(NOT EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
        message(FATAL_ERROR "GoogleTest is missing: apt-get install googletest")
    endif()
    set(INSTALL_GTEST OFF)
    add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
