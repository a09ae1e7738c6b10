#!/bin/sh
# Exits 0 when this machine executes 32-bit (i386) programs, 1 when it does
# not. Some kernels refuse them outright, and then no 32-bit Wine can run: the
# answer comes from running a tiny 32-bit program, not from guessing.
# The program is a 96-byte static i386 ELF that calls exit(42) and needs no
# 32-bit libraries.
set -u
# A user-mode emulator registered for i386 would run it, but far too slowly
# for Wine: that counts as no.
if [ -r /proc/sys/fs/binfmt_misc/qemu-i386 ] && head -n1 /proc/sys/fs/binfmt_misc/qemu-i386 | grep -qx enabled; then
  exit 1
fi
prog=$(mktemp "${TMPDIR:-/tmp}/tunelet-i386.XXXXXX") || exit 1
trap 'rm -f "$prog"' EXIT
# ELF header (52 bytes): class 32, little endian, executable, i386, entry 0x08048054.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$prog"
printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$prog"
printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000' >>"$prog"
# One loadable segment (32 bytes): the whole file at 0x08048000, read + execute.
printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$prog"
printf '\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000' >>"$prog"
# mov eax, 1 (exit); mov ebx, 42; int 0x80
printf '\270\001\000\000\000\273\052\000\000\000\315\200' >>"$prog"
chmod +x "$prog"
"$prog" >/dev/null 2>&1
[ $? -eq 42 ]
