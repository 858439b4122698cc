#!/bin/sh
# The library's dynamic symbol table holds the six entry points and nothing
# else of its own.
set -eu
expected="NP_GetEntryPoints
NP_GetMIMEDescription
NP_GetMIMEDescriptionFunc
NP_GetValue
NP_Initialize
NP_Shutdown"
actual=$(nm -D --defined-only "$1" | awk '{print $3}' | sort)
if [ "$actual" != "$expected" ]; then
  echo "unexpected exports:"; echo "$actual"; exit 1
fi
echo "exports ok"
