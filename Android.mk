# Builds vossel in a platform source tree of the target release: m vossel, or list it in the
# product's PRODUCT_PACKAGES. It lands in /system/bin/vossel.
#
# The sources are C++11 with C library headers only: no STL, no exceptions, no RTTI. Keep
# LOCAL_SRC_FILES in step with CMakeLists.txt; a test compares the two.
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
LOCAL_C_INCLUDES := $(LOCAL_PATH)
# GCC 4.6 has no -fstack-protector-strong: -fstack-protector-all guards every function, as
# the strong variant would guard all of ours anyway. The tree defines its own fortify level.
LOCAL_CFLAGS := -Wall -Wextra -Werror -fPIE -fstack-protector-all \
    -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2
LOCAL_CPPFLAGS := -std=gnu++0x -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-builtin
LOCAL_LDFLAGS := -pie -Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack -Wl,--no-as-needed
LOCAL_SHARED_LIBRARIES := liblog libcutils libnvram libfile_op
include $(BUILD_EXECUTABLE)
