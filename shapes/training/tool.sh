# Sourced by train.sh, eval.sh and label_real.sh: installs the train group, builds the training
# tool (which computes the scorer's inputs with the estimator's own feature code) and names it and
# the interpreter that has Debian's numpy. Expects $root.
"$root/scripts/deps.sh" build train
# Builds the tools in DIR with the weights header WEIGHTS (the source tree's when empty) and
# points $build and $tool at them.
build_tools() {
    build=$1
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOKRA_TESTS=OFF -DVOKRA_GUI=OFF \
          -DVOKRA_SHAPES_TRAINING=ON -DVOKRA_SHAPE_WEIGHTS="${2:-}" >/dev/null
    cmake --build "$build" --target shapes_training_tool > "$build/tool-build.log" ||
        { cat "$build/tool-build.log"; exit 1; }
    tool="$build/shapes/training/shapes_training_tool"
}
build_tools "$root/build/train"
# Debian's numpy lives with the system interpreter; one thread, so a sum is added up in the same
# order on every machine and two runs write the same weights.
python="${PYTHON:-/usr/bin/python3}"
export OPENBLAS_NUM_THREADS=1 OMP_NUM_THREADS=1 MKL_NUM_THREADS=1
# Runs every command of LIST, two at a time; what they print on errors goes to LIST.log, which is
# shown (its end) when one of them fails.
run_all() {
    local list=$1
    : > "$list.log"
    if ! nice -n 10 xargs -P 2 -I{} bash -c '{} 2>>"$0" || { echo "failed: {}" >> "$0"; exit 1; }' \
            "$list.log" < "$list"; then
        tail -n 30 "$list.log" >&2
        echo "some commands of $list failed (all its messages: $list.log)" >&2
        exit 1
    fi
}
