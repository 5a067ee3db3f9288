#!/bin/sh
# Links the PE32 and PE32+ forms of module.c with a real linker, importing from
# kernel32 and ole32 and delay-loading user32 and shlwapi, with a debug
# directory (CodeView and repro), Control Flow Guard tables, a load
# configuration and a TLS callback.
# Usage: build.sh SOURCE_DIR OUTPUT_DIR CLANG LLD_LINK LLVM_DLLTOOL
set -eu
src=$1 out=$2 clang=$3 lld_link=$4 dlltool=$5
mkdir -p "$out"
work=$out/work
mkdir -p "$work"
for bits in 32 64; do
    if [ "$bits" = 32 ]; then
        target=i686-pc-windows-msvc machine=i386 link_machine=x86
    else
        target=x86_64-pc-windows-msvc machine=i386:x86-64 link_machine=x64
    fi
    libs=
    for dll in kernel32 ole32 user32 shlwapi; do
        if [ "$bits" = 32 ]; then
            cp "$src/$dll.def" "$work/$dll$bits.def"
            "$dlltool" -m "$machine" -k -d "$work/$dll$bits.def" -l "$work/$dll$bits.lib"
        else
            # x64 names carry no stdcall decoration.
            sed 's/@[0-9]*\( \|$\)/\1/' "$src/$dll.def" > "$work/$dll$bits.def"
            "$dlltool" -m "$machine" -d "$work/$dll$bits.def" -l "$work/$dll$bits.lib"
        fi
        libs="$libs $work/$dll$bits.lib"
    done
    "$clang" --target=$target -ffreestanding -O1 -Xclang -cfguard -c "$src/module.c" -o "$work/module$bits.obj"
    # shellcheck disable=SC2086
    "$lld_link" /nologo /dll /noentry /nodefaultlib /machine:$link_machine \
        /out:"$out/linked$bits.dll" /implib:"$work/linked$bits.lib" "$work/module$bits.obj" $libs \
        /delayload:user32.dll /delayload:shlwapi.dll /guard:cf /debug /pdb:"$work/linked$bits.pdb" /Brepro
done
