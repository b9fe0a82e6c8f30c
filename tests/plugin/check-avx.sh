#!/bin/sh
# Fails unless the plug-in's AVX instructions all lie in its AVX2 kernel, the
# one function it calls only after asking the processor: anywhere else they
# would stop the plug-in on a processor without AVX, an SSE2-only one for the
# 32-bit plug-in. Also fails when the kernel is missing, so that an empty
# disassembly does not pass.
# Usage: check-avx.sh OBJDUMP PLUGIN
set -eu
objdump=$1
plugin=$2
kernel=_Z14correctRowAvx2PKhPhijj

# "function mnemonic" for every instruction with a VEX or EVEX encoding: a
# mnemonic starting with v on vector registers (the VMX instructions use
# none), or vzeroupper.
avx=$("$objdump" -d --no-show-raw-insn "$plugin" | awk '
  /^[0-9a-f]+ <.*>:$/ { fn = $2; gsub(/[<>:]/, "", fn); next }
  /^ *[0-9a-f]+:\t/ {
    split($0, part, "\t"); insn = part[2]; mnemonic = insn; sub(/ .*/, "", mnemonic)
    if (mnemonic ~ /^vzero/ || (mnemonic ~ /^v/ && insn ~ /%[xyz]mm|%k[0-7]/)) print fn, mnemonic
  }')

if ! printf '%s\n' "$avx" | grep -q "^_*$kernel "; then
  echo "$plugin: no AVX instruction in $kernel (is the kernel built in?)" >&2
  exit 1
fi
outside=$(printf '%s\n' "$avx" | grep -v "^_*$kernel " || true)
if [ -n "$outside" ]; then
  echo "$plugin: AVX instructions outside $kernel:" >&2
  printf '%s\n' "$outside" | sort | uniq -c | head -n 20 >&2
  exit 1
fi
echo "$plugin: $(printf '%s\n' "$avx" | wc -l) AVX instructions, all in $kernel"
