// Links the player stub's bytes into the native program, where no resource section holds them.
// QUILLON_STUB_PATH names the stub that the build embeds into Quillon.exe as well.
#ifndef QUILLON_STUB_PATH
#error "QUILLON_STUB_PATH must name the stub to embed"
#endif

asm(".section .rodata\n"
    ".balign 16\n"
    ".globl quillon_stub_begin\n"
    ".hidden quillon_stub_begin\n"
    "quillon_stub_begin:\n"
    ".incbin \"" QUILLON_STUB_PATH "\"\n"
    ".globl quillon_stub_end\n"
    ".hidden quillon_stub_end\n"
    "quillon_stub_end:\n"
    ".previous\n");
