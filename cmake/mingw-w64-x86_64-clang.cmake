# Cross toolchain: 64-bit Windows from Linux with Debian's clang, against the same
# mingw-w64 headers, import libraries and POSIX-threads libstdc++ as the gcc build, linked
# by lld. A second compiler keeps the code from leaning on one compiler's habits.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VITASCAN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${VITASCAN_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${VITASCAN_MINGW_TRIPLE})
# clang has no resource compiler of its own for this target; windres comes with mingw-w64.
set(CMAKE_RC_COMPILER ${VITASCAN_MINGW_TRIPLE}-windres)

# Without a sysroot clang also searches the Linux host's /usr/include.
set(CMAKE_SYSROOT /usr/${VITASCAN_MINGW_TRIPLE})

# clang does not find the POSIX-threads flavour of libstdc++ (std::thread needs it) by
# itself: name its headers and its library folder.
file(GLOB VITASCAN_MINGW_GCC_DIRS LIST_DIRECTORIES true
     /usr/lib/gcc/${VITASCAN_MINGW_TRIPLE}/*-posix)
list(SORT VITASCAN_MINGW_GCC_DIRS COMPARE NATURAL ORDER DESCENDING)
list(GET VITASCAN_MINGW_GCC_DIRS 0 VITASCAN_MINGW_GCC_DIR)
if(NOT VITASCAN_MINGW_GCC_DIR)
  message(FATAL_ERROR "No POSIX-threads mingw-w64 libstdc++ under /usr/lib/gcc/"
                      "${VITASCAN_MINGW_TRIPLE} (apt-get install g++-mingw-w64-x86-64-posix)")
endif()
set(CMAKE_CXX_FLAGS_INIT "-isystem ${VITASCAN_MINGW_GCC_DIR}/include/c++ \
-isystem ${VITASCAN_MINGW_GCC_DIR}/include/c++/${VITASCAN_MINGW_TRIPLE}")
# lld resolves archives in any order, so winpthread (std::thread) can be named up front.
set(VITASCAN_CLANG_LINK_FLAGS "-fuse-ld=lld -L${VITASCAN_MINGW_GCC_DIR} -lwinpthread")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${VITASCAN_CLANG_LINK_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${VITASCAN_CLANG_LINK_FLAGS}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${VITASCAN_CLANG_LINK_FLAGS}")

set(CMAKE_FIND_ROOT_PATH /usr/${VITASCAN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
