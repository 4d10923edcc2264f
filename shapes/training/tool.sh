# Sourced by train.sh and eval.sh: installs the train group, builds the training tool (which
# computes the scorer's inputs with the estimator's own feature code) and names it and the
# interpreter that has Debian's numpy. Expects $root.
"$root/scripts/deps.sh" build train
build="$root/build/train"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOKRA_TESTS=OFF -DVOKRA_GUI=OFF \
      -DVOKRA_SHAPES_TRAINING=ON >/dev/null
cmake --build "$build" --target shapes_training_tool > "$build/tool-build.log" || { cat "$build/tool-build.log"; exit 1; }
tool="$build/shapes/training/shapes_training_tool"
# Debian's numpy lives with the system interpreter.
python="${PYTHON:-/usr/bin/python3}"
