# Builds vossel in a platform source tree of the target release: m vossel, or list it in the
# product's PRODUCT_PACKAGES. It lands in /system/bin/vossel.
#
# The sources are C++11 with C library headers only: no STL, no exceptions, no RTTI. Keep
# LOCAL_SRC_FILES in step with provisioning/CMakeLists.txt; a test compares the two.
#
# The tree itself compiles this module as Thumb-2 at -Os, position-independent, fortified at
# level 1 (this release's C library does the same at any level above 0), without exceptions (its
# GLOBAL_CFLAGS) or RTTI (the default LOCAL_RTTI_FLAG), links it with -pie -z relro -z now
# -z noexecstack and without --as-needed, and puts this folder on the include path: only what
# changes that result is said here.
LOCAL_PATH := $(call my-dir)

include $(CLEAR_VARS)
LOCAL_MODULE := vossel
LOCAL_MODULE_TAGS := optional
LOCAL_SRC_FILES := \
    provisioning/barcode_record.cpp \
    provisioning/derivation.cpp \
    provisioning/identity.cpp \
    provisioning/main.cpp \
    provisioning/system_log.cpp \
    provisioning/vossel.cpp
# Warnings are errors, as in every build of this program.
LOCAL_CFLAGS := -Wall -Wextra -Werror
# The tree's -fstack-protector guards only functions with character arrays: guard every one.
LOCAL_CFLAGS += -fstack-protector-all
# GCC 4.6 defaults to C++98; static_assert needs C++0x.
LOCAL_CPPFLAGS := -std=gnu++0x
# No C++ runtime may be needed: no guarded statics, which would call into it.
LOCAL_CPPFLAGS += -fno-threadsafe-statics
# The platform operations stay calls into libc, not the compiler's inline expansions.
LOCAL_CPPFLAGS += -fno-builtin
LOCAL_SHARED_LIBRARIES := liblog libcutils libnvram libfile_op
# Without this the tree adds libstdc++ and libm to every module; the program needs only libc.
LOCAL_SYSTEM_SHARED_LIBRARIES := libc
include $(BUILD_EXECUTABLE)
