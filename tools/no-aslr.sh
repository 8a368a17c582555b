#!/bin/bash
# Runs a program with address space layout randomization turned off for it
# and its children (setarch -R), where the kernel lets us.  The sanitizers'
# runtimes of GCC 12 and clang 14 (Debian 12) map their shadow memory at
# fixed places, and crash now and then when the kernel spreads mappings over
# 32 bits (vm.mmap_rnd_bits=32, Ubuntu 24.04's default; GitHub's runner
# images set 28, which they cope with, but a person's machine may not).
# Inside a container whose seccomp profile refuses the personality call,
# the program runs as it is, after one line on standard error when the
# kernel's randomization is wider than those runtimes expect.
#   tools/no-aslr.sh PROGRAM [ARGS...]
arch="$(uname -m)"
if setarch "$arch" -R true 2>/dev/null; then
    exec setarch "$arch" -R "$@"
fi
bits="$(cat /proc/sys/vm/mmap_rnd_bits 2>/dev/null || echo 0)"
if [ "$bits" -gt 28 ]; then
    echo "no-aslr: cannot turn address randomization off here (vm.mmap_rnd_bits=$bits); a sanitized program may crash at random" >&2
fi
exec "$@"
