# The Android NDK's own toolchain file, found through ANDROID_NDK_HOME. NDK r23c is the last
# release that builds for API level 17.
include(${CMAKE_CURRENT_LIST_DIR}/android-ndk-home.cmake)
include("${VOSSEL_NDK_TOOLCHAIN}")
