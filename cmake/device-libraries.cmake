# The device build with the NDK: platform_libraries, the platform-private libraries the program
# links, are the device's own copies, pulled from its /vendor/lib or /system/lib; liblog is the
# NDK's unless a device copy is there too. They may have no SONAME, so they are linked by name
# and the program needs them by name. What they need in turn is found on the device, as are
# they: no RPATH.
set(VOSSEL_DEVICE_LIBS "${PROJECT_SOURCE_DIR}/device-libs" CACHE PATH
    "folder with the device's libcutils.so, libnvram.so and libfile_op.so")
foreach(name IN ITEMS log cutils nvram file_op)
    set(device_${name} ${VOSSEL_DEVICE_LIBS}/lib${name}.so)
    if(EXISTS ${device_${name}})
        add_library(device_${name} SHARED IMPORTED)
        set_target_properties(device_${name} PROPERTIES
            IMPORTED_LOCATION ${device_${name}} IMPORTED_NO_SONAME ON)
        set(device_${name} device_${name})
    elseif(name STREQUAL "log")
        find_library(VOSSEL_LIBLOG log)
        set(device_log log)
    else()
        message(FATAL_ERROR "${device_${name}} is missing: adb pull lib${name}.so from the "
            "device's /vendor/lib or /system/lib into VOSSEL_DEVICE_LIBS (docs/integration.md)")
    endif()
endforeach()
# The log call must be in the liblog that is linked: the stubs of NDK releases before 2018
# lack it, and the device's own copy has it.
if(TARGET device_log)
    set(VOSSEL_LIBLOG ${VOSSEL_DEVICE_LIBS}/liblog.so)
endif()
execute_process(COMMAND ${CMAKE_NM} -D --defined-only ${VOSSEL_LIBLOG}
    OUTPUT_VARIABLE liblog_symbols ERROR_QUIET)
if(NOT liblog_symbols MATCHES "[ \t]__android_log_buf_print[@\n]")
    message(FATAL_ERROR "the liblog.so to be linked (${VOSSEL_LIBLOG}) does not export "
        "__android_log_buf_print: put the device's liblog.so (adb pull "
        "/system/lib/liblog.so) in ${VOSSEL_DEVICE_LIBS}")
endif()

# libfile_op is linked even though nothing in it is called, as on the device. Libraries the
# program does not call (the toolchain's libm and libdl) are not needed.
add_library(platform_libraries INTERFACE)
target_link_libraries(platform_libraries INTERFACE ${device_log} ${device_cutils}
    ${device_nvram} -Wl,--push-state,--no-as-needed ${device_file_op} -Wl,--pop-state)
target_link_options(platform_libraries INTERFACE -Wl,--allow-shlib-undefined -Wl,--as-needed)
