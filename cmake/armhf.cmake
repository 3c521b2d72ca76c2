# Cross build for Debian armhf, the board's architecture (32-bit ARM, hard
# float): the crossbuild-essential-armhf compilers, the :armhf libraries of
# the multiarch tree, and the programs run through qemu-arm.
# DASHREC_ARMHF_DEPS names a folder of unpacked -dev packages that Debian
# cannot install beside their amd64 twins (host/scripts/test-armhf.sh makes it).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(triplet arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${triplet})

set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

set(DASHREC_ARMHF_DEPS "" CACHE PATH "Folder of unpacked armhf -dev packages")
# The compiler checks read this file again and set the same search path.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DASHREC_ARMHF_DEPS)
set(pc_path /usr/lib/${triplet}/pkgconfig:/usr/share/pkgconfig)
if(DASHREC_ARMHF_DEPS)
  set(pc_path ${DASHREC_ARMHF_DEPS}/usr/lib/${triplet}/pkgconfig:${pc_path})
endif()
set(ENV{PKG_CONFIG_LIBDIR} ${pc_path})
set(ENV{PKG_CONFIG_PATH} "")

# Programs run on the multiarch tree's loader and C library (libc6:armhf).
# Not with "-L /usr/${triplet}": that loader, of the cross toolchain, would
# meet the multiarch tree's libc.so.6 of another build, and threads crash.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)
