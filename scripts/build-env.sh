# Sourced by the scripts: one way to configure a build folder and build in it.
#   configure_and_build BUILD TYPE JOBS TOOLCHAIN [-DOPTION=VALUE ...] [-- TARGET ...]
# TYPE is Debug or Release, JOBS the compiles at a time, TOOLCHAIN a file in cmake/; without
# targets everything is built. Under a make job server (--jobserver-auth in MAKEFLAGS) the build
# compiles as many at a time as that hands it slots, whatever JOBS says.
configure_and_build() {
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    local build=$1 type=$2 jobs=$3 toolchain=$4
    shift 4
    local options=() targets=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        options+=("$1")
        shift
    done
    [ $# -gt 0 ] && shift
    local target
    for target in "$@"; do
        targets+=(--target "$target")
    done
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" -DCMAKE_BUILD_TYPE="$type" \
        "${options[@]}"
    local parallel=(-j"$jobs")
    [[ "${MAKEFLAGS:-}" == *--jobserver-auth=* ]] && parallel=()
    cmake --build "$build" "${parallel[@]}" "${targets[@]}"
}
