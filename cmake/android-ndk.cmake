# The Android NDK's own toolchain file, found through ANDROID_NDK_HOME. NDK r23c is the last
# release that builds for API level 17.
if("$ENV{ANDROID_NDK_HOME}" STREQUAL "")
    message(FATAL_ERROR
        "ANDROID_NDK_HOME is not set. Point it at an Android NDK r23c (the last release that "
        "supports API level 17), e.g. export ANDROID_NDK_HOME=$HOME/android-ndk-r23c")
endif()
set(VOSSEL_NDK_TOOLCHAIN "$ENV{ANDROID_NDK_HOME}/build/cmake/android.toolchain.cmake")
if(NOT EXISTS "${VOSSEL_NDK_TOOLCHAIN}")
    message(FATAL_ERROR "ANDROID_NDK_HOME=$ENV{ANDROID_NDK_HOME} holds no NDK: "
        "${VOSSEL_NDK_TOOLCHAIN} is missing")
endif()
include("${VOSSEL_NDK_TOOLCHAIN}")
