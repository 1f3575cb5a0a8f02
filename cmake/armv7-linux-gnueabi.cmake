# Cross-compiles for ARMv7 with the armeabi-v7a calling convention (Thumb-2, VFP present but
# floats passed in integer registers) using Debian's arm-linux-gnueabi toolchain, whose own
# default is ARMv5. Programs built with it run here under qemu-arm.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7-a)

set(ARMV7_TRIPLE arm-linux-gnueabi)
set(ARMV7_SYSROOT /usr/${ARMV7_TRIPLE})
set(CMAKE_C_COMPILER ${ARMV7_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ARMV7_TRIPLE}-g++)
set(ARMV7_FLAGS "-march=armv7-a -mthumb -mfpu=vfpv3-d16 -mfloat-abi=softfp")
set(CMAKE_C_FLAGS_INIT "${ARMV7_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${ARMV7_FLAGS}")

set(CMAKE_FIND_ROOT_PATH ${ARMV7_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L ${ARMV7_SYSROOT})
