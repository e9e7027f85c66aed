# The portable code as 32-bit Linux programs, linked statically so that user-mode emulation
# runs them on kernels without 32-bit support. Doubles are computed in SSE2 registers, as the
# shipped 32-bit build does, so that script arithmetic rounds as on 64 bits.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
# Only the 32-bit libraries: the host's 64-bit ones would not link.
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386-static)
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
