#!/usr/bin/env bash
# Sets everything up, builds vexo and converts a sample sentence.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVEXO_BUILD_TESTS=OFF -DVEXO_BUILD_BENCH=OFF >/dev/null
cmake --build build --target vexo -j "$(nproc)" >/dev/null
echo "O'zbekiston shahar, CHOR-NOR: https://x.uz/sh ma'no Is'hoq SMS-xabar"
echo "O'zbekiston shahar, CHOR-NOR: https://x.uz/sh ma'no Is'hoq SMS-xabar" | build/cli/vexo
