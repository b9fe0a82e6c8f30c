#!/bin/sh
# Fails unless the plug-in's AVX instructions all lie in KERNEL, the one
# function it calls only after asking the processor: anywhere else they would
# stop the plug-in on a processor without AVX. With KERNEL given it also fails
# when the kernel has none, so that an empty disassembly does not pass;
# without it (the 32-bit plug-in) there must be no AVX instruction at all.
# Usage: check-avx.sh OBJDUMP PLUGIN [KERNEL]
set -eu
objdump=$1
plugin=$2
kernel=${3:-}

# "function mnemonic" for every instruction with a VEX or EVEX encoding: a
# mnemonic starting with v on vector registers (the VMX instructions use
# none), or vzeroupper.
avx=$("$objdump" -d --no-show-raw-insn "$plugin" | awk '
  /^[0-9a-f]+ <.*>:$/ { fn = $2; gsub(/[<>:]/, "", fn); next }
  /^ *[0-9a-f]+:\t/ {
    split($0, part, "\t"); insn = part[2]; mnemonic = insn; sub(/ .*/, "", mnemonic)
    if (mnemonic ~ /^vzero/ || (mnemonic ~ /^v/ && insn ~ /%[xyz]mm|%k[0-7]/)) print fn, mnemonic
  }')

if [ -n "$kernel" ] && ! printf '%s\n' "$avx" | grep -q "^_*$kernel "; then
  echo "$plugin: no AVX instruction in $kernel (is the kernel built in?)" >&2
  exit 1
fi
outside=$avx
[ -n "$kernel" ] && outside=$(printf '%s\n' "$avx" | grep -v "^_*$kernel " || true)
if [ -n "$outside" ]; then
  echo "$plugin: AVX instructions outside ${kernel:-any kernel}:" >&2
  printf '%s\n' "$outside" | sort | uniq -c | head -n 20 >&2
  exit 1
fi
if [ -n "$kernel" ]; then
  echo "$plugin: $(printf '%s\n' "$avx" | wc -l) AVX instructions, all in $kernel"
else
  echo "$plugin: no AVX instruction"
fi
