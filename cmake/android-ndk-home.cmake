# Finds the Android NDK's own toolchain file through ANDROID_NDK_HOME, or stops with the one
# message that says what to do. Read before project(), so that no error about a missing
# generator or compiler follows it, and again by the toolchain file.
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
